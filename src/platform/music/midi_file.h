// Standard MIDI files (format 0 and 1, ticks per quarter note): structure check and the
// tempo map that turns ticks into milliseconds. Files that would make the sequencer read
// past a chunk, or that use SMPTE time or format 2, are refused.
#pragma once

#include <bitset>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace platform {

class MidiTimeline {
public:
    // The file's timeline, or nothing when the bytes are not a usable MIDI file.
    static std::optional<MidiTimeline> Read(std::span<const std::uint8_t> bytes);

    std::uint32_t LengthTicks() const { return end_tick_; }
    // The most notes that sound at once (from their beginnings to their ends, all channels).
    std::uint32_t MostNotesAtOnce() const { return most_notes_; }
    // The programs its program changes select, on any channel.
    const std::bitset<128>& ProgramsSelected() const { return programs_; }
    std::uint32_t LengthMs() const { return TicksToMs(end_tick_); }
    std::uint32_t TicksToMs(std::uint32_t tick) const;
    std::uint32_t MsToTicks(std::uint32_t ms) const;

private:
    struct Tempo {
        std::uint32_t tick;
        std::uint32_t us_per_quarter;
    };
    std::uint16_t division_ = 0;
    std::vector<Tempo> tempi_;  // sorted by tick; the first is at tick 0
    std::uint32_t end_tick_ = 0;
    std::uint32_t most_notes_ = 0;
    std::bitset<128> programs_;
};

}  // namespace platform
