// Makes the README's picture of the running program: the window with its frame,
// a few steps into the story. Usage: readme_screenshot <output.png>
#include <cstdio>
#include <thread>

#include "program.h"

using namespace e2e;
using namespace std::chrono_literals;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.png>\n", argv[0]);
        return 2;
    }
    Session session;
    XClient x(session.display());
    TempDir work;
    RunningProgram run(session, x, SampleStory(BALLOONSTORY_EXE, SAMPLE_DIR, work.path()));
    for (int step = 1; step <= 14; ++step) {
        x.Click(run.window(), step % 2 ? 100 : 300, step % 2 ? 100 : 300);
        std::this_thread::sleep_for(150ms);
    }
    // Between blinks, with the composed title showing.
    run.titles().WaitFor([](const auto& changes) { return changes.back().value.empty(); }, 3s);
    run.titles().WaitFor([](const auto& changes) { return !changes.back().value.empty(); }, 3s);
    std::this_thread::sleep_for(200ms);
    x.Screenshot(x.Frame(run.window())).SavePng(argv[1]);
    return 0;
}
