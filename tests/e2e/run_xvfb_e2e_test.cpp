// `./run --xvfb` for someone without a desktop: scripts/run-xvfb with the real program.
// It must say what goes on, leave a screenshot of the painted window, and on Ctrl+C
// (SIGINT to its whole process group, as a terminal sends it) stop the program and
// its X server.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <regex>
#include <thread>

#include "image.h"
#include "process.h"
#include "session.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

TEST(RunOnVirtualDisplay, SaysWhatGoesOnSavesTheWindowAndStopsOnCtrlC) {
    TempDir dir;
    const std::filesystem::path screenshot = ArtifactDir() / "run-xvfb.png";
    const std::filesystem::path output = dir.path() / "output";
    LaunchOptions launch;
    launch.argv = {RUN_XVFB, BALLOONSTORY_EXE, screenshot.string()};
    launch.cwd = SAMPLE_DIR;
    launch.env = {"PATH=/usr/bin:/bin", "HOME=" + dir.path().string(), "XDG_RUNTIME_DIR=" + dir.path().string()};
    launch.stdout_path = output;
    launch.stderr_path = dir.path() / "errors";
    Child run(launch);

    const std::string shot_line = "run: screenshot of the window: " + screenshot.string() + "\n";
    for (auto deadline = std::chrono::steady_clock::now() + 45s;
         std::chrono::steady_clock::now() < deadline && ReadFile(output).find(shot_line) == std::string::npos &&
         run.Running();)
        std::this_thread::sleep_for(100ms);
    const std::string said = ReadFile(output);
    std::smatch display;
    const std::regex first_line(
        "^run: the story runs on the virtual X display :([0-9]+), where nobody can click it; press Ctrl\\+C to stop "
        "it\n");
    EXPECT_TRUE(std::regex_search(said, display, first_line)) << said;
    EXPECT_NE(said.find(shot_line), std::string::npos) << said << ReadFile(dir.path() / "errors");
    EXPECT_TRUE(run.Running());

    kill(-run.pid(), SIGINT);
    const auto exit = run.WaitExit(10s);
    if (!exit) run.Stop(SIGTERM);
    ASSERT_TRUE(exit) << "still running after Ctrl+C\n" << ReadFile(output) << ReadFile(dir.path() / "errors");
    EXPECT_EQ(exit->code, 130);
    // Nothing complained on the way out: the program went before its X server.
    EXPECT_EQ(ReadFile(dir.path() / "errors"), "");
    if (!display.empty()) {
        EXPECT_FALSE(std::filesystem::exists("/tmp/.X" + display[1].str() + "-lock")) << "the X server is left";
    }
    EXPECT_EQ(PngSize(screenshot), std::make_pair(400, 400));
}

}  // namespace
}  // namespace e2e
