#include "platform/music/midi_file.h"

#include <gtest/gtest.h>

#include <bitset>
#include <fstream>
#include <iterator>

#include "midi_fixture.h"

namespace platform {
namespace {

using fixture::Bytes;
using fixture::Smf;

// A track of these events, then its end.
Bytes Track(Bytes events) {
    events.insert(events.end(), {0x00, 0xFF, 0x2F, 0x00});
    return events;
}

TEST(MidiTimeline, RefusesMalformedFiles) {
    const Bytes good = fixture::Note(1);
    Bytes truncated = Smf(0, 480, {good});
    truncated.resize(truncated.size() - 3);
    Bytes header_only = Smf(0, 480, {good});
    header_only.resize(14);
    Bytes long_track = Smf(0, 480, {good});
    long_track[21] += 10;  // the track claims more bytes than the file has
    const struct {
        const char* what;
        Bytes bytes;
    } cases[] = {
        {"empty", {}},
        {"not a MIDI file", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 1, 0xE0}},
        {"header only", header_only},
        {"short header", Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 4, 0, 0, 0, 1}},
        {"truncated track", truncated},
        {"track longer than the file", long_track},
        {"format 2", Smf(2, 480, {good})},
        {"format 0 with two tracks", Smf(0, 480, {good, good})},
        {"SMPTE time", Smf(0, 0xE728, {good})},
        {"zero division", Smf(0, 0, {good})},
        {"data byte without status", Smf(0, 480, {Bytes{0x00, 0x40, 0x40, 0x00, 0xFF, 0x2F, 0x00}})},
        {"endless delta", Smf(0, 480, {Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x90, 60, 100}})},
        {"meta longer than the track", Smf(0, 480, {Bytes{0x00, 0xFF, 0x03, 0x20, 'a'}})},
        {"sysex longer than the track", Smf(0, 480, {Bytes{0x00, 0xF0, 0x10, 0x7E, 0xF7}})},
        {"note cut short", Smf(0, 480, {Bytes{0x00, 0x90, 60}})},
        {"system message", Smf(0, 480, {Bytes{0x00, 0xF8, 0x00, 0xFF, 0x2F, 0x00}})},
        {"zero tempo", Smf(0, 480, {Bytes{0x00, 0xFF, 0x51, 0x03, 0, 0, 0, 0x00, 0xFF, 0x2F, 0x00}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(MidiTimeline::Read(c.bytes).has_value());
    }
}

TEST(MidiTimeline, CountsTheMostNotesHeldAtOnce) {
    constexpr std::uint8_t kOn = 0x90, kOff = 0x80;
    const struct {
        const char* what;
        Bytes file;
        std::uint32_t most;
    } cases[] = {
        {"no notes", Smf(0, 480, {Track({})}), 0},
        {"one note", Smf(0, 480, {fixture::Note(1)}), 1},
        {"a chord of three", Smf(0, 480, {Track({0,  kOn,  60, 90, 0, kOn,  64, 90, 0, kOn,  67, 90,
                                                 10, kOff, 60, 0,  0, kOff, 64, 0,  0, kOff, 67, 0})}),
         3},
        {"one note after the other, touching",
         Smf(0, 480, {Track({0, kOn, 60, 90, 10, kOff, 60, 0, 0, kOn, 62, 90, 10, kOff, 62, 0})}), 1},
        {"note-on at velocity 0 ends the note, running status",
         Smf(0, 480, {Track({0, kOn, 60, 90, 10, 60, 0, 0, 62, 90, 10, 62, 0})}), 1},
        {"ends without beginnings end nothing",
         Smf(0, 480, {Track({0, kOff, 50, 0, 0, kOff, 51, 0, 0, kOn, 60, 90, 0, kOn, 62, 90})}), 2},
        {"notes of two tracks overlap", Smf(1, 480, {fixture::Note(2, 60), fixture::Note(1, 64)}), 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto timeline = MidiTimeline::Read(c.file);
        ASSERT_TRUE(timeline);
        EXPECT_EQ(timeline->MostNotesAtOnce(), c.most);
    }
}

TEST(MidiTimeline, TellsTheProgramsThePieceSelects) {
    const struct {
        const char* what;
        Bytes file;
        std::vector<int> programs;
    } cases[] = {
        {"no program change", Smf(0, 480, {Track({0, 0x90, 60, 90, 10, 0x80, 60, 0})}), {}},
        {"one", Smf(0, 480, {fixture::Note(1)}), {0}},
        {"several channels and tracks, running status",
         Smf(1, 480, {Track({0, 0xC0, 5, 0, 0xC9, 25, 0, 40}), Track({0, 0xC3, 127, 5, 0xB0, 0, 8})}),
         {5, 25, 40, 127}},
        {"none after the end of the track", Smf(0, 480, {Bytes{0, 0xC0, 7, 0, 0xFF, 0x2F, 0, 0, 0xC0, 9}}), {7}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto timeline = MidiTimeline::Read(c.file);
        ASSERT_TRUE(timeline);
        std::bitset<128> expected;
        for (int p : c.programs) expected.set(static_cast<std::size_t>(p));
        EXPECT_EQ(timeline->ProgramsSelected(), expected);
    }
}

TEST(MidiTimeline, LengthFollowsTempoChanges) {
    // Two quarters at 120 per minute, then a tempo of 60 per minute for two more quarters.
    const Bytes tempo_track = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,        // 500000 us
                               0x87, 0x40, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40,  // at 960: 1000000 us
                               0x00, 0xFF, 0x2F, 0x00};
    const auto timeline = MidiTimeline::Read(Smf(1, 480, {tempo_track, fixture::Note(4)}));
    ASSERT_TRUE(timeline);
    EXPECT_EQ(timeline->LengthTicks(), 1920u);
    EXPECT_EQ(timeline->LengthMs(), 3000u);
    const std::pair<std::uint32_t, std::uint32_t> ticks_ms[] = {{0, 0}, {480, 500}, {960, 1000}, {1440, 2000}};
    for (auto [tick, ms] : ticks_ms) {
        EXPECT_EQ(timeline->TicksToMs(tick), ms) << tick;
        EXPECT_EQ(timeline->MsToTicks(ms), tick) << ms;
    }
}

TEST(MidiTimeline, TimesBeyond32BitsStayAtTheLargest) {
    // The slowest tempo (about 16.8 s a quarter) at one tick a quarter, for 0x0FFFFFFF ticks:
    // some 4.5e12 ms, far past what 32 bits hold.
    const Bytes slow = {0x00, 0xFF, 0x51, 0x03, 0xFF, 0xFF, 0xFF,  // 16777215 us a quarter
                        0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x2F, 0x00};
    const auto timeline = MidiTimeline::Read(Smf(0, 1, {slow}));
    ASSERT_TRUE(timeline);
    constexpr std::uint32_t kLargest = 0xFFFFFFFF;
    EXPECT_EQ(timeline->LengthMs(), kLargest);
    EXPECT_EQ(timeline->TicksToMs(0x7FFFFFFF), kLargest);
    EXPECT_EQ(timeline->TicksToMs(256), 4294967u);  // 256 quarters of 16.78 s still fit
    // The fastest tempo at the finest division: a millisecond is some 33 million ticks.
    const Bytes fast = {0x00, 0xFF, 0x51, 0x03, 0x00, 0x00, 0x01, 0x00, 0xFF, 0x2F, 0x00};
    const auto quick = MidiTimeline::Read(Smf(0, 0x7FFF, {fast}));
    ASSERT_TRUE(quick);
    EXPECT_EQ(quick->MsToTicks(1000), kLargest);
}

TEST(MidiTimeline, ToleratesWhatPlayersAccept) {
    // Running status, an unknown chunk, a track without end marker, extra header bytes.
    const Bytes running = {0x00, 0x90, 60, 100, 0x83, 0x60, 60, 0, 0x00, 0xFF, 0x2F, 0x00};
    Bytes file = fixture::Chunk("MThd", Bytes{0, 0, 0, 1, 0x01, 0xE0, 7, 7, 7});
    const Bytes junk = fixture::Chunk("XFIH", Bytes{1, 2, 3});
    const Bytes track = fixture::Chunk("MTrk", Bytes{0x00, 0x90, 60, 100, 0x83, 0x60, 60, 0});
    file.insert(file.end(), junk.begin(), junk.end());
    file.insert(file.end(), track.begin(), track.end());
    auto timeline = MidiTimeline::Read(file);
    ASSERT_TRUE(timeline);
    EXPECT_EQ(timeline->LengthTicks(), 480u);
    ASSERT_TRUE(MidiTimeline::Read(Smf(0, 480, {running})));
}

TEST(MidiTimeline, SampleMusicLastsAboutAMinute) {
    std::ifstream in(std::string(SAMPLE_DIR) + "/[]/xlkfnjxlxr.mid", std::ios::binary);
    const Bytes bytes{std::istreambuf_iterator<char>(in), {}};
    const auto timeline = MidiTimeline::Read(bytes);
    ASSERT_TRUE(timeline);
    EXPECT_GT(timeline->LengthMs(), 50000u);
    EXPECT_LT(timeline->LengthMs(), 75000u);
}

}  // namespace
}  // namespace platform
