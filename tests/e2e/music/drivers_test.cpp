// Each audio output the sequencer falls back to really reaches a sound server: FluidSynth's
// PulseAudio driver, its ALSA driver through ALSA's PulseAudio plugin, and its SDL2 driver.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "audio.h"
#include "midi_fixture.h"
#include "platform/music/midi_sequencer.h"

namespace e2e {
namespace {

class AudioOutput : public ::testing::TestWithParam<const char*> {};

TEST_P(AudioOutput, ReachesTheSoundServer) {
    Session session;
    PulseServer pulse(session);
    std::ofstream(session.home() / ".asoundrc") << "pcm.!default { type pulse }\nctl.!default { type pulse }\n";
    // The libraries find the server and ALSA's configuration through these, read on first use.
    setenv("XDG_RUNTIME_DIR", session.runtime_dir().c_str(), 1);
    setenv("HOME", session.home().c_str(), 1);

    Recording recording(session, session.dir() / "capture.wav");
    platform::MidiSequencer::Options options;
    options.drivers = {GetParam()};
    {
        platform::MidiSequencer sequencer(fixture::Smf(0, 480, {fixture::Note(2)}), options);
        sequencer.Play(std::nullopt, std::nullopt);
        sequencer.WaitUntilDone();
        EXPECT_TRUE(sequencer.Audible());
    }
    EXPECT_GT(RmsDb(recording.Stop()), -50.0);
}

INSTANTIATE_TEST_SUITE_P(Music, AudioOutput, ::testing::Values("pulseaudio", "alsa", "sdl2"));

}  // namespace
}  // namespace e2e
