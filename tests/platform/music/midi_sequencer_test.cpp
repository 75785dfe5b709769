// The sequencer with real FluidSynth, rendering through FluidSynth's "file" driver, which
// keeps real time, so that tests hear what was played without an audio device.
#include "platform/music/midi_sequencer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <iterator>

#include "midi_fixture.h"

namespace platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Peak of the 16-bit stereo samples of a raw or WAV file (a WAV header is too short to matter).
int Peak(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    int top = 0;
    for (std::size_t i = 64; i + 1 < bytes.size(); i += 2) {
        const int sample = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[i]) | (bytes[i + 1] << 8));
        top = std::max(top, std::abs(sample));
    }
    return top;
}

class MidiSequencerTest : public ::testing::Test {
protected:
    MidiSequencer::Options ToFile() {
        MidiSequencer::Options options;
        options.drivers = {"file"};
        options.file_name = (dir.path() / "out.raw").string();
        return options;
    }
    fixture::TempDir dir;
};

TEST_F(MidiSequencerTest, PlaysTheFileOnceAndEnds) {
    const auto started = Clock::now();
    {
        MidiSequencer sequencer(fixture::Smf(0, 480, {fixture::Note(2)}), ToFile());
        sequencer.Play(std::nullopt, std::nullopt);
        EXPECT_EQ(sequencer.CurrentMode(), MidiSequencer::Mode::Playing);
        sequencer.WaitUntilDone();
        EXPECT_TRUE(sequencer.Audible());
        EXPECT_EQ(sequencer.CurrentMode(), MidiSequencer::Mode::Stopped);
        EXPECT_GE(sequencer.PositionTick(), 960u);
    }
    // One second of music, played in real time, not all at once.
    EXPECT_GE(Clock::now() - started, 900ms);
    EXPECT_GT(Peak(dir.path() / "out.raw"), 1000);
}

TEST_F(MidiSequencerTest, StopsAtTheEndTick) {
    MidiSequencer sequencer(fixture::Smf(0, 480, {fixture::Note(8)}), ToFile());
    sequencer.Play(std::nullopt, 480u);
    sequencer.WaitUntilDone();
    EXPECT_EQ(sequencer.CurrentMode(), MidiSequencer::Mode::Stopped);
    EXPECT_LT(sequencer.PositionTick(), 960u);
}

TEST_F(MidiSequencerTest, StopSilencesAndPlayResumes) {
    MidiSequencer sequencer(fixture::Smf(0, 480, {fixture::Note(8)}), ToFile());
    sequencer.Play(std::nullopt, std::nullopt);
    sequencer.Stop();  // before it is ready: the request is dropped
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(sequencer.CurrentMode(), MidiSequencer::Mode::Stopped);
    EXPECT_EQ(sequencer.PositionTick(), 0u);
    sequencer.Play(std::nullopt, std::nullopt);
    EXPECT_EQ(sequencer.CurrentMode(), MidiSequencer::Mode::Playing);
    sequencer.Stop();
    EXPECT_EQ(sequencer.CurrentMode(), MidiSequencer::Mode::Stopped);
}

// The "file" driver writes in real time while it is open, silence included: a file that
// stops growing is an output that was closed.
bool StopsGrowing(const std::filesystem::path& file) {
    std::uintmax_t last = 0;
    for (auto deadline = Clock::now() + 15s; Clock::now() < deadline;) {
        std::this_thread::sleep_for(700ms);
        std::error_code error;
        const auto size = std::filesystem::file_size(file, error);
        if (!error && size > 0 && size == last) return true;
        last = error ? 0 : size;
    }
    return false;
}

TEST_F(MidiSequencerTest, OutputClosesAfterThePieceAndOpensAgainToPlay) {
    const auto out = dir.path() / "out.raw";
    MidiSequencer sequencer(fixture::Smf(0, 480, {fixture::Note(1)}), ToFile());
    sequencer.Play(std::nullopt, std::nullopt);
    sequencer.WaitUntilDone();
    EXPECT_TRUE(StopsGrowing(out));
    std::filesystem::remove(out);

    sequencer.Play(0u, std::nullopt);
    EXPECT_EQ(sequencer.CurrentMode(), MidiSequencer::Mode::Playing);
    sequencer.WaitUntilDone();
    EXPECT_TRUE(sequencer.Audible());
    EXPECT_GT(Peak(out), 1000);
}

TEST_F(MidiSequencerTest, SilentWithoutSoundFontOrDevice) {
    struct Case {
        const char* what;
        std::vector<std::string> soundfonts;
        std::vector<std::string> drivers;
    } cases[] = {
        {"no SoundFont", {(dir.path() / "missing.sf2").string()}, {"file"}},
        {"SoundFont not a SoundFont", {(dir.path() / "bogus.sf2").string()}, {"file"}},
        {"no driver opens", {}, {"no-such-driver"}},
    };
    fixture::Write(dir.path() / "bogus.sf2", {'R', 'I', 'F', 'F', 1, 2, 3});
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto options = ToFile();
        options.soundfonts = c.soundfonts;
        options.drivers = c.drivers;
        MidiSequencer sequencer(fixture::Smf(0, 480, {fixture::Note(2)}), options);
        sequencer.Play(std::nullopt, std::nullopt);
        const auto started = Clock::now();
        sequencer.WaitUntilDone();
        EXPECT_LT(Clock::now() - started, 3s);  // the piece would take over four to play out
        EXPECT_TRUE(sequencer.Ready());
        EXPECT_FALSE(sequencer.Audible());
        EXPECT_EQ(sequencer.CurrentMode(), MidiSequencer::Mode::Stopped);
    }
}

TEST_F(MidiSequencerTest, EndsPromptlyWhilePlayingOrLoading) {
    for (auto wait : {0ms, 20ms, 500ms}) {
        SCOPED_TRACE(wait.count());
        const auto started = Clock::now();
        {
            MidiSequencer sequencer(fixture::Smf(0, 480, {fixture::Note(60)}), ToFile());
            sequencer.Play(std::nullopt, std::nullopt);
            std::this_thread::sleep_for(wait);
        }
        EXPECT_LT(Clock::now() - started - wait, 1s);
    }
}

}  // namespace
}  // namespace platform
