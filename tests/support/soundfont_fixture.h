// Small SoundFont 2 files for tests: presets of chosen bank and program, each with its own
// bags, generators and modulators, and one instrument and sample for all of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace soundfont_fixture {

struct Preset {
    int bank;
    int program;
    int bags = 1;  // each with two generators and one modulator
};

inline void Put16(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}
inline void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}
inline void PutId(std::vector<std::uint8_t>& out, const char* id) { out.insert(out.end(), id, id + 4); }
inline void PutName(std::vector<std::uint8_t>& out, const std::string& name) {
    std::string padded = name;
    padded.resize(20, '\0');
    out.insert(out.end(), padded.begin(), padded.end());
}
inline void PutChunk(std::vector<std::uint8_t>& out, const char* id, const std::vector<std::uint8_t>& data) {
    PutId(out, id);
    Put32(out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() & 1) out.push_back(0);
}
inline std::vector<std::uint8_t> List(const char* type, const std::vector<std::uint8_t>& chunks) {
    std::vector<std::uint8_t> body;
    PutId(body, type);
    body.insert(body.end(), chunks.begin(), chunks.end());
    std::vector<std::uint8_t> out;
    PutChunk(out, "LIST", body);
    return out;
}

// The preset data LIST: presets in the given order. Generator amounts and modulator
// sources carry the preset's and bag's numbers, so that a test can tell whose they are.
inline std::vector<std::uint8_t> PresetData(const std::vector<Preset>& presets) {
    std::vector<std::uint8_t> phdr, pbag, pmod, pgen;
    unsigned bags = 0, gens = 0, mods = 0;
    for (std::size_t p = 0; p < presets.size(); ++p) {
        PutName(phdr, "preset " + std::to_string(p));
        Put16(phdr, presets[p].program);
        Put16(phdr, presets[p].bank);
        Put16(phdr, bags);
        for (int i = 0; i < 3; ++i) Put32(phdr, 0);
        for (int b = 0; b < presets[p].bags; ++b, ++bags) {
            Put16(pbag, gens);
            Put16(pbag, mods);
            Put16(pgen, 48);  // initial attenuation
            Put16(pgen, static_cast<unsigned>(p * 16 + b));
            Put16(pgen, 41);  // instrument: the last generator of a zone
            Put16(pgen, 0);
            gens += 2;
            for (int field = 0; field < 5; ++field) Put16(pmod, field == 0 ? static_cast<unsigned>(p * 16 + b) : 0);
            mods += 1;
        }
    }
    PutName(phdr, "EOP");
    for (int i = 0; i < 3; ++i) Put16(phdr, i == 2 ? bags : 0);
    for (int i = 0; i < 3; ++i) Put32(phdr, 0);
    Put16(pbag, gens);
    Put16(pbag, mods);
    for (int i = 0; i < 5; ++i) Put16(pmod, 0);
    Put32(pgen, 0);

    std::vector<std::uint8_t> inst, ibag, imod, igen, shdr;
    PutName(inst, "instrument");
    Put16(inst, 0);
    PutName(inst, "EOI");
    Put16(inst, 1);
    for (unsigned index : {0u, 0u, 1u, 0u}) Put16(ibag, index);
    for (int i = 0; i < 5; ++i) Put16(imod, 0);
    Put16(igen, 53);  // sample ID
    Put16(igen, 0);
    Put32(igen, 0);
    PutName(shdr, "sample");
    for (std::uint32_t value : {0u, 100u, 10u, 90u, 22050u}) Put32(shdr, value);
    shdr.push_back(60);
    shdr.push_back(0);
    Put16(shdr, 0);
    Put16(shdr, 1);  // mono
    PutName(shdr, "EOS");
    for (int i = 0; i < 5; ++i) Put32(shdr, 0);
    for (int i = 0; i < 6; ++i) shdr.push_back(0);

    std::vector<std::uint8_t> chunks;
    PutChunk(chunks, "phdr", phdr);
    PutChunk(chunks, "pbag", pbag);
    PutChunk(chunks, "pmod", pmod);
    PutChunk(chunks, "pgen", pgen);
    PutChunk(chunks, "inst", inst);
    PutChunk(chunks, "ibag", ibag);
    PutChunk(chunks, "imod", imod);
    PutChunk(chunks, "igen", igen);
    PutChunk(chunks, "shdr", shdr);
    return List("pdta", chunks);
}

// A whole file: version information, 146 samples of a ramp, then the preset data (or the
// given LIST chunks in its place, to build files of other shapes).
inline std::vector<std::uint8_t> File(const std::vector<std::uint8_t>& preset_data) {
    std::vector<std::uint8_t> ifil;
    Put16(ifil, 2);
    Put16(ifil, 1);
    std::vector<std::uint8_t> info;
    PutChunk(info, "ifil", ifil);
    PutChunk(info, "INAM", {'t', 'e', 's', 't', 0, 0});
    std::vector<std::uint8_t> samples;
    for (unsigned i = 0; i < 146; ++i) Put16(samples, i * 200);
    std::vector<std::uint8_t> sdta;
    PutChunk(sdta, "smpl", samples);

    std::vector<std::uint8_t> body;
    PutId(body, "sfbk");
    for (const auto& part : {List("INFO", info), List("sdta", sdta), preset_data})
        body.insert(body.end(), part.begin(), part.end());
    std::vector<std::uint8_t> out;
    PutChunk(out, "RIFF", body);
    return out;
}

inline std::vector<std::uint8_t> File(const std::vector<Preset>& presets) { return File(PresetData(presets)); }

}  // namespace soundfont_fixture
