// A SoundFont 2 file seen with only the presets a piece can select. A synthesizer builds
// tables for every preset of the file it loads, several megabytes for a General MIDI
// SoundFont, though a piece uses a handful. The view leaves the others out and changes
// nothing else: the file's bytes up to its preset data are its own (only the RIFF size
// differs), so the samples stay where they are and are read from the file when needed; the
// preset data that follows keeps the chosen presets with their zones, generators and
// modulators, and every instrument and sample header as it was.
#pragma once

#include <bitset>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/files.h"

namespace platform {

// The program numbers a piece can select. Program 0 always stays: it is every channel's
// program before a program change, and what the synthesizer falls back to when a piece
// selects a program the SoundFont lacks.
using ProgramSet = std::bitset<128>;

class SoundFontView {
public:
    // The view of `file` keeping the presets, of any bank, whose program is in `programs`.
    // Nothing when the file is not a SoundFont 2 that can be cut so (its preset data must be
    // its last chunk, every index in range) or when no preset would go.
    static std::optional<SoundFontView> Keep(ByteSource& file, const ProgramSet& programs);

    std::uint64_t Size() const { return prefix_length_ + preset_data_.size(); }
    // Reads the view as ByteSource::ReadAt reads a file: up to buffer.size() bytes from
    // `offset` on, the count read, 0 past the end. `file` is the file the view was made of.
    std::size_t ReadAt(ByteSource& file, std::uint64_t offset, std::span<std::uint8_t> buffer) const;

    int PresetsKept() const { return presets_kept_; }

private:
    std::uint64_t prefix_length_ = 0;
    std::uint32_t riff_size_ = 0;
    std::vector<std::uint8_t> preset_data_;  // the whole "pdta" LIST chunk
    int presets_kept_ = 0;
};

}  // namespace platform
