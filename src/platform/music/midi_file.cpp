// Reads the structure of a standard MIDI file: chunks, events with running status,
// system-exclusive and meta events, and the tempo changes.
#include "platform/music/midi_file.h"

#include <algorithm>
#include <limits>

namespace platform {
namespace {

constexpr std::uint32_t kDefaultTempo = 500000;  // 120 quarter notes a minute

constexpr std::uint8_t kMetaEvent = 0xFF;
constexpr std::uint8_t kSystemExclusive = 0xF0;
constexpr std::uint8_t kSystemExclusiveContinued = 0xF7;
constexpr std::uint8_t kNoteOff = 0x80;
constexpr std::uint8_t kNoteOn = 0x90;
constexpr std::uint8_t kProgramChange = 0xC0;
// Meta event types.
constexpr std::uint8_t kSetTempo = 0x51;
constexpr std::uint8_t kEndOfTrack = 0x2F;

// Rounds a non-negative count to the nearest whole one. Ticks and milliseconds are 32-bit:
// a slow tempo over a long piece gives more milliseconds than that, and such a count
// stays at the largest one rather than wrapping to any value at all.
std::uint32_t RoundedCount(double value) {
    constexpr double kLargest = std::numeric_limits<std::uint32_t>::max();
    const double rounded = value + 0.5;
    return rounded >= kLargest ? std::numeric_limits<std::uint32_t>::max() : static_cast<std::uint32_t>(rounded);
}

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool AtEnd() const { return pos_ >= bytes_.size(); }
    std::size_t Left() const { return bytes_.size() - pos_; }

    std::optional<std::uint32_t> Fixed(int count) {
        if (Left() < static_cast<std::size_t>(count)) return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i) value = (value << 8) | bytes_[pos_++];
        return value;
    }

    // Variable-length quantity: at most four bytes, seven bits each.
    std::optional<std::uint32_t> Variable() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            if (AtEnd()) return std::nullopt;
            const std::uint8_t byte = bytes_[pos_++];
            value = (value << 7) | (byte & 0x7F);
            if ((byte & 0x80) == 0) return value;
        }
        return std::nullopt;
    }

    bool Skip(std::uint32_t count) {
        if (Left() < count) return false;
        pos_ += count;
        return true;
    }

    std::optional<std::uint8_t> Peek() const {
        if (AtEnd()) return std::nullopt;
        return bytes_[pos_];
    }

    std::span<const std::uint8_t> Take(std::uint32_t count) {
        auto part = bytes_.subspan(pos_, count);
        pos_ += count;
        return part;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

// A note beginning (+1) or ending (-1) at a tick.
struct NoteEdge {
    std::uint32_t tick;
    int change;
};

// What the tracks tell beyond their structure.
struct TrackFacts {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> tempi;
    std::vector<NoteEdge> notes;
    std::bitset<128> programs;
    std::uint32_t end_tick = 0;
};

void RecordChannelEvent(std::uint8_t status, std::span<const std::uint8_t> data, std::uint32_t tick,
                        TrackFacts& facts) {
    const std::uint8_t kind = status & 0xF0;
    if (kind == kNoteOn && data[1] > 0) facts.notes.push_back({tick, +1});
    if (kind == kNoteOff || (kind == kNoteOn && data[1] == 0)) facts.notes.push_back({tick, -1});
    if (kind == kProgramChange) facts.programs.set(data[0] & 0x7F);
}

// The most notes held at one time over all tracks; notes ending at a tick end before those
// that begin there.
std::uint32_t MostHeld(std::vector<NoteEdge>& notes) {
    std::sort(notes.begin(), notes.end(), [](const NoteEdge& a, const NoteEdge& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.change < b.change;
    });
    std::int64_t held = 0, most = 0;
    for (const NoteEdge& edge : notes) {
        held = std::max<std::int64_t>(0, held + edge.change);  // an end without a beginning ends nothing
        most = std::max(most, held);
    }
    return static_cast<std::uint32_t>(most);
}

// Walks one track; records tempo changes, notes and programs. False when the track is malformed.
bool ReadTrack(std::span<const std::uint8_t> data, TrackFacts& facts) {
    Reader in(data);
    std::uint64_t tick = 0;
    std::uint8_t running = 0;
    while (!in.AtEnd()) {
        auto delta = in.Variable();
        if (!delta) return false;
        tick += *delta;
        if (tick > 0xFFFFFFF) return false;  // far beyond any real piece; keeps sums in range
        auto first = in.Peek();
        if (!first) return false;
        std::uint8_t status = *first;
        if (status & 0x80) {
            in.Skip(1);
        } else if (running == 0) {
            return false;  // data byte with no status to repeat
        } else {
            status = running;
        }
        if (status == kMetaEvent) {
            auto type = in.Fixed(1);
            auto length = type ? in.Variable() : std::nullopt;
            if (!length || in.Left() < *length) return false;
            auto body = in.Take(*length);
            if (*type == kSetTempo && *length == 3) {
                const std::uint32_t tempo = (body[0] << 16) | (body[1] << 8) | body[2];
                if (tempo == 0) return false;
                facts.tempi.emplace_back(static_cast<std::uint32_t>(tick), tempo);
            }
            if (*type == kEndOfTrack) break;
            running = 0;
        } else if (status == kSystemExclusive || status == kSystemExclusiveContinued) {
            auto length = in.Variable();
            if (!length || !in.Skip(*length)) return false;
            running = 0;
        } else if (status >= 0xF0) {
            return false;  // system common and real-time messages do not belong in a file
        } else {
            const std::uint32_t data_bytes = (status & 0xE0) == 0xC0 ? 1 : 2;
            if (in.Left() < data_bytes) return false;
            RecordChannelEvent(status, in.Take(data_bytes), static_cast<std::uint32_t>(tick), facts);
            running = status;
        }
    }
    facts.end_tick = std::max(facts.end_tick, static_cast<std::uint32_t>(tick));
    return true;
}

}  // namespace

std::optional<MidiTimeline> MidiTimeline::Read(std::span<const std::uint8_t> bytes) {
    Reader in(bytes);
    auto id = in.Fixed(4);
    auto header_length = in.Fixed(4);
    if (!id || *id != 0x4D546864 /* MThd */ || !header_length || *header_length < 6) return std::nullopt;
    auto format = in.Fixed(2);
    auto tracks = in.Fixed(2);
    auto division = in.Fixed(2);
    if (!division || !in.Skip(*header_length - 6)) return std::nullopt;
    if (*format > 1 || *tracks == 0 || (*format == 0 && *tracks != 1)) return std::nullopt;
    if (*division == 0 || (*division & 0x8000)) return std::nullopt;

    MidiTimeline timeline;
    timeline.division_ = static_cast<std::uint16_t>(*division);
    TrackFacts facts;
    std::uint32_t found = 0;
    while (found < *tracks) {
        auto chunk = in.Fixed(4);
        auto length = in.Fixed(4);
        if (!chunk || !length || in.Left() < *length) return std::nullopt;
        auto body = in.Take(*length);
        if (*chunk != 0x4D54726B /* MTrk */) continue;  // foreign chunks are skipped
        if (!ReadTrack(body, facts)) return std::nullopt;
        ++found;
    }
    timeline.end_tick_ = facts.end_tick;
    timeline.most_notes_ = MostHeld(facts.notes);
    timeline.programs_ = facts.programs;

    auto& tempi = facts.tempi;
    std::stable_sort(tempi.begin(), tempi.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    timeline.tempi_.push_back({0, kDefaultTempo});
    for (const auto& [tick, tempo] : tempi) {
        if (tick == timeline.tempi_.back().tick)
            timeline.tempi_.back().us_per_quarter = tempo;
        else
            timeline.tempi_.push_back({tick, tempo});
    }
    return timeline;
}

std::uint32_t MidiTimeline::TicksToMs(std::uint32_t tick) const {
    double us = 0;
    for (std::size_t i = 0; i < tempi_.size() && tempi_[i].tick < tick; ++i) {
        const std::uint32_t until = i + 1 < tempi_.size() ? std::min(tempi_[i + 1].tick, tick) : tick;
        us += double(until - tempi_[i].tick) * tempi_[i].us_per_quarter / division_;
    }
    return RoundedCount(us / 1000);
}

std::uint32_t MidiTimeline::MsToTicks(std::uint32_t ms) const {
    double us_left = double(ms) * 1000;
    for (std::size_t i = 0; i < tempi_.size(); ++i) {
        const double us_per_tick = double(tempi_[i].us_per_quarter) / division_;
        const bool last = i + 1 == tempi_.size();
        const double span_us = last ? 0 : (tempi_[i + 1].tick - tempi_[i].tick) * us_per_tick;
        if (last || us_left < span_us) return RoundedCount(tempi_[i].tick + us_left / us_per_tick);
        us_left -= span_us;
    }
    return 0;
}

}  // namespace platform
