// Figures of the real window, observed from outside under Xvfb and openbox:
// start to window mapped (beside a bare Qt window, the floor), the delay from a
// click's release to the empty and to the composed title, and peak memory.
// A plain program: it prints, it asserts nothing.
#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "program.h"
#include "session.h"
#include "story_table.h"
#include "xclient.h"

using namespace e2e;
using namespace std::chrono_literals;

namespace {

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void Print(const char* what, const std::vector<double>& values, const char* unit) {
    std::printf("%-44s median %7.1f %s  (min %.1f, max %.1f, n=%zu)\n", what, Median(values), unit,
                *std::min_element(values.begin(), values.end()), *std::max_element(values.begin(), values.end()),
                values.size());
}

// Milliseconds from the start of the process until its window is managed and viewable.
std::vector<double> TimeToMapped(const Session& session, XClient& x, const std::filesystem::path& program,
                                 const std::filesystem::path& cwd, const std::vector<std::string>& args, int runs) {
    std::vector<double> out;
    for (int i = 0; i < runs; ++i) {
        auto child = session.Launch(program, cwd, {}, args);
        auto window = x.WaitForClient(child->pid(), 15s);
        while (window && !x.Viewable(*window)) std::this_thread::sleep_for(1ms);
        auto elapsed = std::chrono::steady_clock::now() - child->started();
        if (window) out.push_back(std::chrono::duration<double, std::milli>(elapsed).count());
        child->Stop(SIGKILL);
    }
    return out;
}

// The click's refresh: the first notification of _NET_WM_NAME after the release is its
// empty title, the first that leaves a text is its composed one. Waiting for that keeps the
// next click out of this one's pause. Times are of arrival here; a tick falling just there
// is rare and only adds an outlier. False when no refresh came.
bool TimeRefresh(RunningProgram& run, std::size_t seen, std::chrono::steady_clock::time_point released,
                 std::vector<double>& to_empty, std::vector<double>& to_composed) {
    for (auto deadline = released + 5s; std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(1ms)) {
        std::vector<const TitleChange*> notes;
        auto raw = run.titles().Raw();
        for (std::size_t i = seen; i < raw.size(); ++i)
            if (raw[i].property == TitleProperty::kNetWmName) notes.push_back(&raw[i]);
        auto composed =
            std::find_if(notes.begin(), notes.end(), [](const TitleChange* c) { return !c->value.empty(); });
        if (composed == notes.end()) continue;
        auto since = [&](const TitleChange* c) {
            return std::chrono::duration<double, std::milli>(c->received - released).count();
        };
        to_empty.push_back(since(notes.front()));
        to_composed.push_back(since(*composed));
        return true;
    }
    return false;
}

// Click delays over the whole story, and the program's peak memory; the 100th click ends it.
void ClickDelays(Session& session, XClient& x, const std::filesystem::path& cwd) {
    ProgramOptions options;
    options.program = BALLOONSTORY_EXE;
    options.cwd = cwd;
    RunningProgram run(session, x, options);
    std::vector<double> to_empty, to_composed;
    const int points[2][2] = {{100, 100}, {300, 300}};
    for (int step = 1; step <= story_table::kEndStep; ++step) {
        const auto* p = points[step % 2];
        x.MoveTo(run.window(), p[0], p[1]);
        x.Press();
        std::size_t seen = run.titles().Raw().size();
        x.Release();
        const auto released = std::chrono::steady_clock::now();
        if (step >= story_table::kStopStep) {
            std::this_thread::sleep_for(30ms);
            continue;
        }
        if (!TimeRefresh(run, seen, released, to_empty, to_composed))
            std::fprintf(stderr, "no refresh after step %d\n", step);
    }
    auto exit = run.child().WaitExit(10s);
    Print("release to empty title seen", to_empty, "ms");
    Print("release to composed title seen", to_composed, "ms");
    if (exit) {
        std::printf("%-44s %ld KiB (exit code %d)\n", "peak memory, whole story, balloonstory", exit->max_rss_kib,
                    exit->code);
    }
}

}  // namespace

int main() {
    Session session;
    XClient x(session.display());
    TempDir work;
    CopyTree(SAMPLE_DIR, work.path());

    constexpr int kRuns = 10;
    auto program = TimeToMapped(session, x, BALLOONSTORY_EXE, work.path(), {}, kRuns);
    auto bare = TimeToMapped(session, x, FIXTURE_WINDOW, work.path(), {"bare"}, kRuns);
    if (program.empty() || bare.empty()) {
        std::fprintf(stderr, "no window appeared\n");
        return 1;
    }
    Print("start to window mapped, balloonstory", program, "ms");
    Print("start to window mapped, bare Qt window", bare, "ms");

    ClickDelays(session, x, work.path());

    auto idle = session.Launch(FIXTURE_WINDOW, work.path(), {}, {"bare"});
    if (x.WaitForClient(idle->pid(), 15s)) std::this_thread::sleep_for(500ms);
    std::printf("%-44s %ld KiB\n", "peak memory, bare Qt window", idle->Stop(SIGTERM).max_rss_kib);
    return 0;
}
