// Each audio output the sequencer falls back to really reaches a sound server: FluidSynth's
// PulseAudio driver, its ALSA driver through ALSA's PulseAudio plugin, and its SDL2 driver.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <thread>

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

// Trying an output must leave the process's signals alone, even for a moment: a Ctrl+C or
// kill that came then would be taken by the library and lost, and the story played on.
// SDL did so while it came up for its output.
TEST(AudioOutputs, TryingThemLeavesCtrlCAndKillAlone) {
    // No sound server: each output fails, and SDL is brought up and shut down again. ALSA
    // reads its configuration once for the process: the same as for the test above.
    Session session;
    std::ofstream(session.home() / ".asoundrc") << "pcm.!default { type pulse }\nctl.!default { type pulse }\n";
    setenv("XDG_RUNTIME_DIR", session.runtime_dir().c_str(), 1);
    setenv("HOME", session.home().c_str(), 1);
    std::atomic<bool> done = false;
    std::atomic<int> caught = 0;
    std::thread watch([&] {
        while (!done) {
            for (int signal : {SIGINT, SIGTERM}) {
                struct sigaction action {};
                sigaction(signal, nullptr, &action);
                if (action.sa_handler != SIG_DFL) caught = signal;
            }
        }
    });
    platform::MidiSequencer::Options options;
    options.drivers = {"pulseaudio", "alsa", "sdl2"};
    {
        platform::MidiSequencer sequencer(fixture::Smf(0, 480, {fixture::Note(2)}), options);
        sequencer.Play(std::nullopt, std::nullopt);
        sequencer.WaitUntilDone();
    }
    done = true;
    watch.join();
    EXPECT_EQ(caught, 0) << strsignal(caught) << " was caught for a while";
}

}  // namespace
}  // namespace e2e
