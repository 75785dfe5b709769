#include "platform/music/mmsystem.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

#include "midi_fixture.h"

namespace platform {
namespace {

using namespace std::chrono_literals;
using namespace mci;

struct Step {
    const char* command;
    MCIERROR error;
    const char* reply = "";
};

// Runs in a directory holding "[]" with a good and a broken MIDI file, as the program does.
class MciTest : public ::testing::Test {
protected:
    void SetUp() override {
        // No sound server: the tests must not depend on one, nor make noise on a desktop.
        setenv("PULSE_SERVER", (dir.path() / "no-server").c_str(), 1);
        std::filesystem::create_directory(dir.path() / "[]");
        fixture::Write(dir.path() / "[]" / "song.mid", fixture::Smf(0, 480, {fixture::Note(4)}));
        auto broken = fixture::Smf(0, 480, {fixture::Note(4)});
        broken.resize(broken.size() - 5);
        fixture::Write(dir.path() / "[]" / "broken.mid", broken);
        fixture::Write(dir.path() / "[]" / "song.wav", {'R', 'I', 'F', 'F'});
        // A good file padded far beyond any song: refused rather than read into memory whole.
        fixture::Write(dir.path() / "[]" / "huge.mid", fixture::Smf(0, 480, {fixture::Note(4)}));
        std::filesystem::resize_file(dir.path() / "[]" / "huge.mid", 40 * 1024 * 1024);
        std::filesystem::create_directory(dir.path() / "[]" / "folder.mid");
        mkfifo((dir.path() / "[]" / "pipe.mid").c_str(), 0600);
        previous = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
    }
    void TearDown() override {
        mciSendStringA("close all", nullptr, 0, nullptr);
        std::filesystem::current_path(previous);
    }
    void Run(const std::vector<Step>& steps) {
        for (const auto& step : steps) {
            SCOPED_TRACE(step.command);
            char reply[64] = "untouched";
            EXPECT_EQ(mciSendStringA(step.command, reply, sizeof reply, nullptr), step.error);
            EXPECT_STREQ(reply, step.reply);
        }
    }

    fixture::TempDir dir;
    std::filesystem::path previous;
};

TEST_F(MciTest, CommandSequences) {
    const struct {
        const char* what;
        std::vector<Step> steps;
    } cases[] = {
        {"the program's two commands", {{"open []\\song.mid alias FILE", 0}, {"play FILE notify", 0}}},
        {"stop and close",
         {{"open []\\song.mid alias FILE", 0},
          {"play FILE", 0},
          {"stop FILE", 0},
          {"status FILE mode", 0, "stopped"},
          {"close FILE", 0},
          {"status FILE mode", kInvalidDeviceName},
          {"play FILE", kInvalidDeviceName}}},
        {"close all",
         {{"open []\\song.mid alias one", 0},
          {"open []/song.mid alias two", 0},
          {"close all", 0},
          {"play one", kInvalidDeviceName},
          {"play two", kInvalidDeviceName},
          {"close all", 0}}},
        {"aliases compare without case", {{"OPEN []\\song.mid ALIAS File", 0}, {"play FILE", 0}, {"close file", 0}}},
        {"extra blanks", {{"  open   []\\song.mid \t alias   FILE  ", 0}, {"play    FILE    notify", 0}}},
        {"unknown alias", {{"play FILE notify", kInvalidDeviceName}, {"stop nothing", kInvalidDeviceName}}},
        {"second open of an alias",
         {{"open []\\song.mid alias FILE", 0},
          {"open []\\song.mid alias file", kDuplicateAlias},
          {"status FILE length", 0, "2000"}}},
        {"second open of a file without alias",
         {{"open []\\song.mid", 0}, {"open []\\SONG.MID", kDeviceOpen}, {"close []\\song.mid", 0}}},
        {"missing and unreadable files",
         {{"open []\\nothing.mid alias FILE", kFileNotFound},
          {"open []\\folder.mid alias FILE", kFileNotFound},
          // A FIFO without a writer would block a plain open.
          {"open []\\pipe.mid alias FILE", kFileNotFound},
          {"play FILE", kInvalidDeviceName}}},
        {"broken file", {{"open []\\broken.mid alias FILE", kInvalidFile}, {"play FILE", kInvalidDeviceName}}},
        {"huge file", {{"open []\\huge.mid alias FILE", kInvalidFile}, {"play FILE", kInvalidDeviceName}}},
        {"device type",
         {{"open []\\song.wav alias FILE", kExtensionNotFound},
          {"open []\\song.mid type waveaudio alias FILE", kCannotLoadDriver},
          {"open []\\song.mid type Sequencer alias FILE", 0}}},
        {"all only for close", {{"open all", kCannotUseAll}, {"play all", kCannotUseAll}, {"stop all", kCannotUseAll}}},
        {"bad verb",
         {{"open []\\song.mid alias FILE", 0},
          {"rewind FILE", kUnrecognizedCommand},
          {"status FILE mode", 0, "stopped"}}},
        {"play range",
         {{"open []\\song.mid alias FILE", 0},
          {"play FILE from 2001", kOutOfRange},
          {"play FILE to 3000", kOutOfRange},
          {"play FILE from 1500 to 1000", kOutOfRange},
          {"status FILE mode", 0, "stopped"},
          {"play FILE from 1000 to 2000", 0}}},
        {"status items",
         {{"open []\\song.mid alias FILE", 0},
          {"status FILE", kMissingParameter},
          {"status FILE mode length", kFlagsNotCompatible}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Run(c.steps);
        mciSendStringA("close all", nullptr, 0, nullptr);
    }
}

}  // namespace
}  // namespace platform

namespace platform {
namespace {

using namespace mci;

TEST_F(MciTest, ReplyBuffer) {
    ASSERT_EQ(mciSendStringA("open []\\song.mid alias FILE", nullptr, 0, nullptr), 0u);
    char small[4] = "abc";
    EXPECT_EQ(mciSendStringA("status FILE length", small, sizeof small, nullptr), kParamOverflow);
    EXPECT_STREQ(small, "");
    EXPECT_EQ(mciSendStringA("status FILE length", nullptr, 0, nullptr), kParamOverflow);
    char exact[5];
    EXPECT_EQ(mciSendStringA("status FILE length", exact, sizeof exact, nullptr), 0u);
    EXPECT_STREQ(exact, "2000");
    EXPECT_EQ(mciSendStringA(nullptr, exact, sizeof exact, nullptr), kMissingCommandString);
    EXPECT_STREQ(exact, "");
}

// Music files are read as pictures are: a writer holding a lock keeps the reader out.
TEST_F(MciTest, WriterHoldingALockKeepsTheFileClosed) {
    const int writer = ::open((dir.path() / "[]" / "song.mid").c_str(), O_RDWR);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);
    EXPECT_EQ(mciSendStringA("open []\\song.mid alias FILE", nullptr, 0, nullptr), kFileNotFound);
    ::close(writer);
    EXPECT_EQ(mciSendStringA("open []\\song.mid alias FILE", nullptr, 0, nullptr), 0u);
}

TEST_F(MciTest, BecomesReadyWithoutBlockingAndQuietly) {
    // Whatever fails on the way (here: every audio output), nothing reaches standard error.
    std::fflush(stderr);
    const int saved = dup(2);
    const auto log = dir.path() / "stderr.txt";
    FILE* sink = std::fopen(log.c_str(), "w");
    dup2(fileno(sink), 2);

    const MCIERROR opened = mciSendStringA("open []\\song.mid alias FILE", nullptr, 0, nullptr);
    const MCIERROR played = mciSendStringA("play FILE notify", nullptr, 0, nullptr);
    // The SoundFont is still loading: open and play did not wait for it.
    char at_once[8] = "";
    mciSendStringA("status FILE ready", at_once, sizeof at_once, nullptr);
    char ready[8] = "";
    for (int i = 0; i < 500 && std::string(ready) != "true"; ++i) {
        std::this_thread::sleep_for(10ms);
        mciSendStringA("status FILE ready", ready, sizeof ready, nullptr);
    }
    mciSendStringA("close FILE", nullptr, 0, nullptr);

    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::fclose(sink);
    EXPECT_EQ(opened, 0u);
    EXPECT_EQ(played, 0u);
    EXPECT_STREQ(ready, "true");
    EXPECT_STREQ(at_once, "false");
    std::ifstream in(log);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "");
}

}  // namespace
}  // namespace platform
