// The music as a listener hears it: the real program under Xvfb and openbox, its sound
// going to a private PulseAudio server whose null sink is recorded from outside.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iostream>
#include <thread>

#include "audio.h"
#include "image.h"
#include "session.h"
#include "story_run.h"
#include "title_observer.h"
#include "xclient.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int kRate = 11025;       // enough for pitches up to B7
constexpr int kHop = kRate / 10;   // 100 ms
constexpr double kSilentDb = -80;  // a null sink with nothing playing records digital silence

bool PrivateMountsWork() {
    Child probe(LaunchOptions{{"/usr/bin/unshare", "--mount", "--propagation", "private", "mount", "-t", "tmpfs",
                               "none", "/usr/share/sounds"},
                              {},
                              {"PATH=/usr/bin:/bin"},
                              {},
                              {}});
    const auto status = probe.WaitExit(10s);
    return status && status->code == 0;
}

std::string Stderr(const Session& session, const fs::path& program) { return ReadFile(session.StderrOf(program)); }

TEST(Music, PlaysTheSamplePieceWhileTheStoryRunsAndEndsWithIt) {
    Session session;
    PulseServer pulse(session);
    TempDir work;
    const fs::path midi = PrepareStory(work.path());
    Recording recording(session, session.dir() / "capture.wav");

    auto program = session.Launch(BALLOONSTORY_EXE, work.path());
    XClient x(session.display());
    auto window = x.WaitForClient(program->pid(), 15s);
    ASSERT_TRUE(window);
    std::this_thread::sleep_for(2s);  // past start-up, into the music
    const double cpu_before = CpuSeconds(program->pid());
    std::this_thread::sleep_for(10s);
    const double cpu_share = (CpuSeconds(program->pid()) - cpu_before) / 10.0;
    const fs::path capture = recording.Stop();

    // Step 100 ends the program while the piece is still playing: promptly and cleanly.
    const auto last_click = ClickThroughTheStory(x, *window);
    const auto status = program->WaitExit(15s);
    ASSERT_TRUE(status) << "the program did not end after step 100";
    std::cout
        << "figure: from the last click to the end of the process, music playing: "
        << std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - last_click).count()
        << " ms\n";
    EXPECT_EQ(status->code, 0);
    EXPECT_EQ(Stderr(session, BALLOONSTORY_EXE), "");
    std::cout << "figure: CPU share while the music plays " << std::lround(cpu_share * 100) << "% of one core\n"
              << "figure: peak memory with music " << status->max_rss_kib << " KiB\n";

    // Kept for listening: build/artifacts/music-capture.wav
    fs::copy_file(capture, ArtifactDir() / "music-capture.wav", fs::copy_options::overwrite_existing);
    const double level = RmsDb(capture);
    std::cout << "figure: recorded level " << level << " dB RMS\n";
    EXPECT_GT(level, -45.0) << "the recording is (nearly) silent";

    // The recording against FluidSynth's own rendering of the same file: the same loudness
    // contour, at real-time pace, and the same notes.
    const fs::path reference = RenderMidi(midi, session.dir() / "reference.wav");
    const auto heard = LoadMono(capture, kRate, 14);
    const auto expected = LoadMono(reference, kRate, 14);
    auto expected_envelope = Envelope(expected, kHop);
    expected_envelope.resize(std::min<std::size_t>(expected_envelope.size(), 7 * 10));  // first 7 s
    const Alignment alignment = Align(expected_envelope, Envelope(heard, kHop), 4 * 10);
    std::cout << "figure: music started " << alignment.lag * 100 << " ms into the recording, envelope correlation "
              << alignment.correlation << "\n";
    EXPECT_GT(alignment.correlation, 0.8);

    double same = 0, transposed = 0;
    const int seconds = 7;
    for (int s = 0; s < seconds; ++s) {
        const auto mine = Chroma(heard, kRate, alignment.lag * kHop + s * kRate, kRate);
        const auto theirs = Chroma(expected, kRate, s * kRate, kRate);
        same += Cosine(mine, theirs) / seconds;
        transposed += std::max(Cosine(mine, Transpose(theirs, 1)), Cosine(mine, Transpose(theirs, 2))) / seconds;
    }
    std::cout << "figure: pitch-class similarity " << same << " (a tone or semitone off: " << transposed << ")\n";
    EXPECT_GT(same, 0.85);
    EXPECT_LT(transposed, same - 0.2);
}

// Whatever keeps the music from sounding, the story goes on as usual and nothing is said.
struct SilentCase {
    const char* name;
    void (*spoil)(const fs::path& midi);
    bool sound_server = true;
    bool without_soundfonts = false;
};

const SilentCase kSilentCases[] = {
    {"MusicMissing", [](const fs::path& midi) { fs::remove(midi); }},
    {"MusicCorrupt",
     [](const fs::path& midi) {
         fs::resize_file(midi, fs::file_size(midi) / 2);  // cut off inside a track
     }},
    {"MusicNotMidi", [](const fs::path& midi) { std::ofstream(midi) << "MThd, or rather not at all"; }},
    {"NoSoundFont", [](const fs::path&) {}, true, true},
    {"NoAudioDevice", [](const fs::path&) {}, false},
};

void PrintTo(const SilentCase& c, std::ostream* out) { *out << c.name; }

class SilentMusic : public ::testing::TestWithParam<SilentCase> {};

TEST_P(SilentMusic, StoryRunsAsUsualWithoutSoundOrMessages) {
    const SilentCase& c = GetParam();
    Session session;
    // Without a server, the session's user has no PulseAudio to reach, nor may one be
    // started for them, and ALSA's default device leads nowhere.
    std::optional<PulseServer> pulse;
    std::optional<Recording> recording;
    if (c.sound_server) {
        pulse.emplace(session);
        recording.emplace(session, session.dir() / "capture.wav");
    } else {
        fs::create_directories(session.home() / ".config" / "pulse");
        std::ofstream(session.home() / ".config" / "pulse" / "client.conf") << "autospawn = no\n";
        std::ofstream(session.home() / ".asoundrc")
            << "pcm.!default { type hw card 57 }\nctl.!default { type hw card 57 }\n";
    }
    TempDir work;
    c.spoil(PrepareStory(work.path()));

    fs::path program_path = BALLOONSTORY_EXE;
    std::unique_ptr<Child> program;
    if (c.without_soundfonts && !PrivateMountsWork()) GTEST_SKIP() << "this machine gives no private mount namespace";
    if (c.without_soundfonts) {
        // A private mount namespace in which the system's SoundFonts are gone.
        program_path = "/usr/bin/unshare";
        program = session.Launch(program_path, work.path(), {},
                                 {"--mount", "--propagation", "private", "sh", "-c",
                                  "mount -t tmpfs none /usr/share/sounds && exec \"$0\"", BALLOONSTORY_EXE});
    } else {
        program = session.Launch(program_path, work.path());
    }
    XClient x(session.display());
    auto window = x.WaitForClient(program->pid(), 15s);
    ASSERT_TRUE(window);
    TitleObserver titles(session.display(), *window);
    std::this_thread::sleep_for(3s);  // the music would have started by now

    ClickThroughTheStory(x, *window);
    const auto status = program->WaitExit(15s);
    ASSERT_TRUE(status) << "the story did not reach its end";
    EXPECT_EQ(status->code, 0);
    EXPECT_EQ(Stderr(session, program_path), "");
    EXPECT_FALSE(titles.Changes().empty());
    if (recording) {
        const double level = RmsDb(recording->Stop());
        EXPECT_LT(level, kSilentDb) << "something was played";
    }
    if (std::string(c.name) == "MusicMissing")
        std::cout << "figure: peak memory without music " << status->max_rss_kib << " KiB\n";
}

INSTANTIATE_TEST_SUITE_P(Music, SilentMusic, ::testing::ValuesIn(kSilentCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Music, NeitherOpenedNorPlayedWhenThePictureFails) {
    Session session;
    PulseServer pulse(session);
    Recording recording(session, session.dir() / "capture.wav");
    TempDir work;
    PrepareStory(work.path());
    fs::remove(work.path() / "[]" / "balloonpicture.jpeg");

    auto program = session.Launch(BALLOONSTORY_EXE, work.path());
    XClient x(session.display());
    auto box = x.WaitForClient(program->pid(), 15s);
    ASSERT_TRUE(box);
    std::this_thread::sleep_for(2s);

    // Nor later: the story runs to its end after the box, and all of it in silence.
    x.Keys({"Return"});
    auto window = x.WaitForClient(program->pid(), 10s, [&](const ClientInfo& c) { return c.window != *box; });
    ASSERT_TRUE(window);
    ClickThroughTheStory(x, *window);
    const auto status = program->WaitExit(15s);
    ASSERT_TRUE(status) << "the story did not reach its end";
    EXPECT_EQ(status->code, 0);
    EXPECT_LT(RmsDb(recording.Stop()), kSilentDb) << "the music played although the picture failed";
}

}  // namespace
}  // namespace e2e
