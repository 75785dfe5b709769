// The whole story with its music under valgrind's memcheck: the real program under Xvfb and
// openbox, playing to a private PulseAudio server. Our code gives no error and leaks no
// block for certain; what memcheck reports inside the system libraries is suppressed in
// tests/valgrind/, each entry with its reason.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "audio.h"
#include "session.h"
#include "story_run.h"
#include "xclient.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// valgrind's exit status when it found an error, a definite leak included.
constexpr int kErrorStatus = 99;
// Under memcheck the SoundFont loads and the music starts many times slower than usual.
constexpr auto kIntoTheMusic = 120s;

// A child that libdbus forks to start a session bus (Qt asks for one, and there is none)
// would report the parent's heap as its own when it exits: only the program itself counts.
std::vector<std::string> MemcheckArgs(const fs::path& log) {
    return {"--tool=memcheck",
            "--error-exitcode=" + std::to_string(kErrorStatus),
            "--leak-check=full",
            "--show-leak-kinds=definite",
            "--errors-for-leak-kinds=definite",
            "--num-callers=40",
            "--child-silent-after-fork=yes",
            "--suppressions=" VALGRIND_SUPPRESSIONS,
            "--log-file=" + log.string(),
            BALLOONSTORY_EXE};
}

// memcheck's closing summary: the error count and the leak figures.
std::string Summary(const std::string& log) {
    std::istringstream lines(log);
    std::string out;
    for (std::string line; std::getline(lines, line);) {
        for (const char* key : {"ERROR SUMMARY", "definitely lost:", "indirectly lost:", "possibly lost:",
                                "still reachable:", "suppressed:"}) {
            if (line.find(key) == std::string::npos) continue;
            out += "figure: memcheck " + line.substr(line.find(key)) + "\n";
            break;
        }
    }
    return out;
}

TEST(Memcheck, TheWholeStoryWithMusicHasNoErrorAndNoDefiniteLeak) {
    Session session;
    PulseServer pulse(session);
    TempDir work;
    PrepareStory(work.path());
    Recording recording(session, session.dir() / "capture.wav");
    const fs::path log = session.dir() / "memcheck.log";
    const fs::path valgrind = "/usr/bin/valgrind";

    const auto started = std::chrono::steady_clock::now();
    auto program = session.Launch(valgrind, work.path(), {}, MemcheckArgs(log));
    XClient x(session.display());
    auto window = x.WaitForClient(program->pid(), 180s);
    ASSERT_TRUE(window) << ReadFile(log);
    // Clicks while the music plays, so that the story's end stops it under memcheck too.
    ASSERT_TRUE(recording.WaitForSound(kIntoTheMusic)) << "no music under memcheck";
    const auto heard = std::chrono::steady_clock::now() - started;
    ClickThroughTheStory(x, *window);
    const auto status = program->WaitExit(300s);
    ASSERT_TRUE(status) << "the story did not reach its end under memcheck";

    const std::string report = ReadFile(log);
    std::cout << Summary(report) << "figure: the story under memcheck took "
              << std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started).count()
              << " s, the music heard from "
              << std::chrono::duration_cast<std::chrono::milliseconds>(heard).count() / 1000.0 << " s on\n";
    EXPECT_EQ(status->code, 0);
    EXPECT_NE(report.find("ERROR SUMMARY: 0 errors"), std::string::npos) << report;
    EXPECT_EQ(ReadFile(session.StderrOf(valgrind)), "");
}

}  // namespace
}  // namespace e2e
