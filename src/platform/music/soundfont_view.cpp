// SoundFont 2: a RIFF "sfbk" file of three LIST chunks, "INFO", "sdta" (the samples) and
// "pdta". The preset data's tables are arrays of little-endian records, each ending with a
// terminal record; a preset owns the bags from its index to the next preset's, a bag the
// generators and modulators from its indices to the next bag's.
#include "platform/music/soundfont_view.h"

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

constexpr std::uint32_t FourCc(const char (&text)[5]) {
    return static_cast<std::uint32_t>(text[0]) | static_cast<std::uint32_t>(text[1]) << 8 |
           static_cast<std::uint32_t>(text[2]) << 16 | static_cast<std::uint32_t>(text[3]) << 24;
}

constexpr std::uint32_t kRiff = FourCc("RIFF");
constexpr std::uint32_t kSoundFont = FourCc("sfbk");
constexpr std::uint32_t kList = FourCc("LIST");
constexpr std::uint32_t kPresetData = FourCc("pdta");
constexpr std::uint32_t kPresetHeaders = FourCc("phdr");
constexpr std::uint32_t kPresetBags = FourCc("pbag");
constexpr std::uint32_t kPresetModulators = FourCc("pmod");
constexpr std::uint32_t kPresetGenerators = FourCc("pgen");

constexpr std::size_t kChunkHeader = 8;
constexpr std::size_t kListHeader = 12;
constexpr std::uint64_t kRiffSizeAt = 4;
// Record sizes, and the fields used.
constexpr std::size_t kPresetHeader = 38, kBag = 4, kModulator = 10, kGenerator = 4;
constexpr std::size_t kProgramAt = 20, kBagIndexAt = 24;
constexpr std::size_t kGeneratorIndexAt = 0, kModulatorIndexAt = 2;
// A General MIDI SoundFont has a few hundred kilobytes of preset data and three chunks at
// the top; a file claiming far more is loaded whole rather than cut.
constexpr std::uint32_t kMostPresetData = 16 << 20;
constexpr int kMostTopChunks = 64;

std::uint32_t Get16(const std::uint8_t* p) { return p[0] | p[1] << 8; }
std::uint32_t Get32(const std::uint8_t* p) { return Get16(p) | Get16(p + 2) << 16; }
void Put16(std::uint8_t* p, std::size_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}
void Put32(std::uint8_t* p, std::size_t value) {
    Put16(p, value & 0xFFFF);
    Put16(p + 2, value >> 16);
}

bool ReadExactly(ByteSource& file, std::uint64_t offset, std::span<std::uint8_t> buffer) {
    return file.ReadAt(offset, buffer) == buffer.size();
}

// One table of the preset data: records of one size, the last one terminal.
struct Table {
    std::span<const std::uint8_t> bytes;
    std::size_t record = 0;

    std::size_t Count() const { return bytes.size() / record; }
    const std::uint8_t* At(std::size_t i) const { return bytes.data() + i * record; }
    std::uint32_t Index(std::size_t i, std::size_t field) const { return Get16(At(i) + field); }
    bool Usable() const { return record != 0 && Count() >= 1 && bytes.size() % record == 0; }
};

// Records 0 to `owners` of `owner` index into a table of `owned` records, each owning the
// records up to the next one's index: the indices must not fall and must stay in range.
bool IndicesValid(const Table& owner, std::size_t owners, std::size_t field, std::size_t owned) {
    for (std::size_t i = 0; i < owners; ++i)
        if (owner.Index(i, field) > owner.Index(i + 1, field)) return false;
    return owner.Index(owners, field) < owned;
}

struct Subchunk {
    std::uint32_t id;
    std::span<const std::uint8_t> data;
};

std::optional<std::vector<Subchunk>> Subchunks(std::span<const std::uint8_t> list) {
    std::vector<Subchunk> parts;
    for (std::size_t at = 0; at + kChunkHeader <= list.size();) {
        const std::uint32_t size = Get32(list.data() + at + 4);
        if (size > list.size() - at - kChunkHeader) return std::nullopt;
        parts.push_back({Get32(list.data() + at), list.subspan(at + kChunkHeader, size)});
        at += kChunkHeader + size + (size & 1);
    }
    return parts;
}

void Append(std::vector<std::uint8_t>& out, const std::uint8_t* record, std::size_t size) {
    out.insert(out.end(), record, record + size);
}

struct PresetTables {
    std::vector<std::uint8_t> headers, bags, modulators, generators;
    int kept = 0;
};

// The chosen presets with what they own, renumbered, each table ended as the file ends it.
PresetTables Cut(const Table& headers, const Table& bags, const Table& modulators, const Table& generators,
                 const ProgramSet& programs) {
    PresetTables out;
    const std::size_t presets = headers.Count() - 1;
    for (std::size_t i = 0; i < presets; ++i) {
        const std::uint32_t program = Get16(headers.At(i) + kProgramAt);
        if (program >= programs.size() || !programs[program]) continue;
        ++out.kept;
        Append(out.headers, headers.At(i), kPresetHeader);
        Put16(out.headers.data() + out.headers.size() - kPresetHeader + kBagIndexAt, out.bags.size() / kBag);
        for (std::uint32_t b = headers.Index(i, kBagIndexAt); b < headers.Index(i + 1, kBagIndexAt); ++b) {
            std::uint8_t bag[kBag];
            Put16(bag + kGeneratorIndexAt, out.generators.size() / kGenerator);
            Put16(bag + kModulatorIndexAt, out.modulators.size() / kModulator);
            Append(out.bags, bag, kBag);
            for (std::uint32_t g = bags.Index(b, kGeneratorIndexAt); g < bags.Index(b + 1, kGeneratorIndexAt); ++g)
                Append(out.generators, generators.At(g), kGenerator);
            for (std::uint32_t m = bags.Index(b, kModulatorIndexAt); m < bags.Index(b + 1, kModulatorIndexAt); ++m)
                Append(out.modulators, modulators.At(m), kModulator);
        }
    }
    Append(out.headers, headers.At(presets), kPresetHeader);
    Put16(out.headers.data() + out.headers.size() - kPresetHeader + kBagIndexAt, out.bags.size() / kBag);
    std::uint8_t last_bag[kBag];
    Put16(last_bag + kGeneratorIndexAt, out.generators.size() / kGenerator);
    Put16(last_bag + kModulatorIndexAt, out.modulators.size() / kModulator);
    Append(out.bags, last_bag, kBag);
    Append(out.modulators, modulators.At(modulators.Count() - 1), kModulator);
    Append(out.generators, generators.At(generators.Count() - 1), kGenerator);
    return out;
}

// The preset data LIST of the view, or nothing when the file's cannot be cut.
std::optional<std::vector<std::uint8_t>> CutPresetData(std::span<const std::uint8_t> list, const ProgramSet& programs,
                                                       int& kept) {
    const auto parts = Subchunks(list);
    if (!parts) return std::nullopt;
    Table headers{{}, kPresetHeader}, bags{{}, kBag}, modulators{{}, kModulator}, generators{{}, kGenerator};
    for (const Subchunk& part : *parts) {
        if (part.id == kPresetHeaders) headers.bytes = part.data;
        if (part.id == kPresetBags) bags.bytes = part.data;
        if (part.id == kPresetModulators) modulators.bytes = part.data;
        if (part.id == kPresetGenerators) generators.bytes = part.data;
    }
    if (!headers.Usable() || headers.Count() < 2 || !bags.Usable() || !modulators.Usable() || !generators.Usable())
        return std::nullopt;
    const std::size_t presets = headers.Count() - 1;
    if (!IndicesValid(headers, presets, kBagIndexAt, bags.Count())) return std::nullopt;
    const std::size_t used_bags = headers.Index(presets, kBagIndexAt);
    if (!IndicesValid(bags, used_bags, kGeneratorIndexAt, generators.Count()) ||
        !IndicesValid(bags, used_bags, kModulatorIndexAt, modulators.Count()))
        return std::nullopt;

    PresetTables cut = Cut(headers, bags, modulators, generators, programs);
    if (cut.kept == 0 || static_cast<std::size_t>(cut.kept) == presets) return std::nullopt;
    kept = cut.kept;
    std::vector<std::uint8_t> out(kListHeader);
    Put32(out.data(), kList);
    Put32(out.data() + 8, kPresetData);
    for (const Subchunk& part : *parts) {
        std::span<const std::uint8_t> data = part.data;
        if (part.id == kPresetHeaders) data = cut.headers;
        if (part.id == kPresetBags) data = cut.bags;
        if (part.id == kPresetModulators) data = cut.modulators;
        if (part.id == kPresetGenerators) data = cut.generators;
        const std::size_t at = out.size();
        out.resize(at + kChunkHeader);
        Put32(out.data() + at, part.id);
        Put32(out.data() + at + 4, data.size());
        out.insert(out.end(), data.begin(), data.end());
        if (data.size() & 1) out.push_back(0);
    }
    Put32(out.data() + 4, out.size() - kChunkHeader);
    return out;
}

}  // namespace

std::optional<SoundFontView> SoundFontView::Keep(ByteSource& file, const ProgramSet& programs) {
    std::uint8_t header[kListHeader];
    if (!ReadExactly(file, 0, header) || Get32(header) != kRiff || Get32(header + 8) != kSoundFont) return std::nullopt;
    const std::uint64_t end = kChunkHeader + std::uint64_t{Get32(header + kRiffSizeAt)};
    std::uint64_t at = kListHeader;
    for (int chunks = 0; at + kListHeader <= end && chunks < kMostTopChunks; ++chunks) {
        std::uint8_t chunk[kListHeader];
        if (!ReadExactly(file, at, chunk)) return std::nullopt;
        const std::uint32_t size = Get32(chunk + 4);
        const std::uint64_t next = at + kChunkHeader + size + (size & 1);
        if (Get32(chunk) != kList || Get32(chunk + 8) != kPresetData) {
            at = next;
            continue;
        }
        // The samples must keep their places: the preset data has to be the last chunk.
        if (next < end || size < 4 || size > kMostPresetData) return std::nullopt;
        std::vector<std::uint8_t> list(size - 4);
        if (!ReadExactly(file, at + kListHeader, list)) return std::nullopt;
        SoundFontView view;
        auto cut = CutPresetData(list, programs, view.presets_kept_);
        if (!cut) return std::nullopt;
        view.prefix_length_ = at;
        view.preset_data_ = std::move(*cut);
        view.riff_size_ = static_cast<std::uint32_t>(view.Size() - kChunkHeader);
        return view;
    }
    return std::nullopt;
}

std::size_t SoundFontView::ReadAt(ByteSource& file, std::uint64_t offset, std::span<std::uint8_t> buffer) const {
    std::size_t done = 0;
    while (done < buffer.size()) {
        const std::uint64_t at = offset + done;
        const std::span<std::uint8_t> rest = buffer.subspan(done);
        if (at < prefix_length_) {
            const auto part =
                rest.first(static_cast<std::size_t>(std::min<std::uint64_t>(rest.size(), prefix_length_ - at)));
            const std::size_t got = file.ReadAt(at, part);
            for (std::uint64_t pos = std::max(at, kRiffSizeAt); pos < std::min(at + got, kRiffSizeAt + 4); ++pos)
                part[pos - at] = static_cast<std::uint8_t>(riff_size_ >> (8 * (pos - kRiffSizeAt)));
            done += got;
            if (got < part.size()) break;
        } else {
            const std::uint64_t in = at - prefix_length_;
            if (in >= preset_data_.size()) break;
            const std::size_t count =
                static_cast<std::size_t>(std::min<std::uint64_t>(rest.size(), preset_data_.size() - in));
            std::memcpy(rest.data(), preset_data_.data() + in, count);
            done += count;
        }
    }
    return done;
}

}  // namespace platform
