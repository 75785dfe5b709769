// Small MIDI files built byte by byte for the music tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace fixture {

using Bytes = std::vector<std::uint8_t>;

inline void Put(Bytes& out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline Bytes Chunk(const char* id, const Bytes& body) {
    Bytes out(id, id + 4);
    Put(out, static_cast<std::uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

inline Bytes Smf(std::uint16_t format, std::uint16_t division, std::initializer_list<Bytes> tracks) {
    Bytes header;
    Put(header, format, 2);
    Put(header, static_cast<std::uint32_t>(tracks.size()), 2);
    Put(header, division, 2);
    Bytes out = Chunk("MThd", header);
    for (const auto& t : tracks) {
        const Bytes c = Chunk("MTrk", t);
        out.insert(out.end(), c.begin(), c.end());
    }
    return out;
}

// One piano note of `quarters` quarter notes at 120 per minute (division 480), then end of track.
inline Bytes Note(int quarters, int pitch = 60) {
    Bytes t = {0x00, 0xC0, 0x00, 0x00, 0x90, static_cast<std::uint8_t>(pitch), 100};
    const std::uint32_t ticks = 480u * quarters;
    // delta as a two-byte variable-length quantity (ticks < 16384)
    t.push_back(static_cast<std::uint8_t>(0x80 | (ticks >> 7)));
    t.push_back(static_cast<std::uint8_t>(ticks & 0x7F));
    t.insert(t.end(), {0x80, static_cast<std::uint8_t>(pitch), 0x00, 0x00, 0xFF, 0x2F, 0x00});
    return t;
}

inline void Write(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

using test_support::TempDir;

}  // namespace fixture
