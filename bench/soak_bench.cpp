// A long run of the real program: clicked to the middle of the story, then left alone
// while the title blinks and the music plays to its end and beyond, with its sound going
// to a private PulseAudio server. Prints the resident memory over time and its growth
// after the music has ended. A plain program: it prints, it asserts nothing.
//   soak_bench [minutes, default 30] [step, default 50] [program, default the build's]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "audio.h"
#include "program.h"
#include "session.h"
#include "xclient.h"

using namespace e2e;
using namespace std::chrono_literals;

namespace {

// A field of /proc/<pid>/status in KiB ("VmRSS", "VmHWM"), or -1 once the process is gone.
long StatusKib(pid_t pid, const std::string& field) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field + ":", 0) == 0) return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    const int minutes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const int step = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, 99) : 50;
    const std::filesystem::path program = argc > 3 ? argv[3] : BALLOONSTORY_EXE;
    // The sample piece lasts about a minute; memory is compared from when it is over.
    constexpr auto kMusicOver = 2min;

    Session session;
    PulseServer pulse(session);
    XClient x(session.display());
    TempDir work;
    RunningProgram run(session, x, SampleStory(program, SAMPLE_DIR, work.path()));
    const pid_t pid = run.child().pid();

    // Far-apart points in turn: no click is the second half of a double-click.
    for (int i = 0; i < step; ++i) {
        x.Click(run.window(), i % 2 ? 80 : 320, i % 2 ? 80 : 320);
        std::this_thread::sleep_for(150ms);
    }
    const auto start = std::chrono::steady_clock::now();
    std::printf("clicked to step %d; resident memory every minute for %d minutes\n", step, minutes);
    std::printf("%8s %12s %12s\n", "minute", "VmRSS KiB", "VmHWM KiB");
    long after_music = -1, last = -1;
    for (int minute = 0; minute <= minutes; ++minute) {
        std::this_thread::sleep_until(start + std::chrono::minutes(minute));
        last = StatusKib(pid, "VmRSS");
        if (last < 0) {
            std::printf("the program has ended\n");
            return 1;
        }
        if (after_music < 0 && std::chrono::steady_clock::now() - start >= kMusicOver) after_music = last;
        std::printf("%8d %12ld %12ld\n", minute, last, StatusKib(pid, "VmHWM"));
        std::fflush(stdout);
    }
    const auto titles = run.titles().Changes();
    std::printf("title changes seen: %zu; the last: \"%.60s...\"\n", titles.size(),
                titles.empty() ? "" : titles.back().value.c_str());
    if (after_music >= 0)
        std::printf("growth after the music ended (minute %d to %d): %+ld KiB\n", static_cast<int>(kMusicOver / 1min),
                    minutes, last - after_music);
    const std::string errors = run.Stderr();
    std::printf("standard error: %s\n", errors.empty() ? "(nothing)" : errors.c_str());
    run.child().Stop(SIGTERM);
    return 0;
}
