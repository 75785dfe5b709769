// Figures of the real window, observed from outside under Xvfb, openbox and a private
// PulseAudio server, each beside a bare Qt window (the floor) in the same run:
// - start to window mapped and to the first paint, by X events (MapNotify, XDamage);
// - CPU time of all threads in the first second, from /proc/<pid>/stat at 1 s;
// - the delay from a click's release to the empty and to the composed title;
// - CPU while the story waits at step 50, with the music playing and after it ended;
// - peak memory over the whole story (getrusage of the ended child), with and without music.
// A plain program: it prints, it asserts nothing. With --start it stops after the start figures.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "audio.h"
#include "platform/music/midi_file.h"
#include "program.h"
#include "session.h"
#include "start_watch.h"
#include "story_table.h"
#include "xclient.h"

using namespace e2e;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kStartRuns = 11;
constexpr auto kCpuWindow = 20s;
constexpr int kIdleStep = 50;
// The piece starts after the first paint and its output stays a moment after its end.
constexpr auto kAfterTheMusic = 10s;

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void Print(const std::string& what, const std::vector<double>& values, const char* unit) {
    if (values.empty()) {
        std::printf("%-48s none\n", what.c_str());
        return;
    }
    std::printf("%-48s median %7.1f %s  (min %.1f, max %.1f, n=%zu)\n", what.c_str(), Median(values), unit,
                *std::min_element(values.begin(), values.end()), *std::max_element(values.begin(), values.end()),
                values.size());
}

// User and system time of every thread the process ever had, in milliseconds.
double CpuMs(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name may hold blanks: the fields go on after its closing parenthesis.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i >= 14) ticks += std::stod(field);
    return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Contender {
    std::string name;
    std::filesystem::path program;
    std::filesystem::path cwd;
    std::vector<std::string> args;
    std::vector<double> mapped = {}, painted = {}, cpu_first_second = {};
};

// One start: times by X events, then the CPU spent when a second has passed.
void StartOnce(const Session& session, bench::StartWatch& watch, Contender& who) {
    watch.Reset();
    auto child = session.Launch(who.program, who.cwd, {}, who.args);
    auto times = watch.Wait(child->pid(), child->started(), 15s);
    if (!times) {
        std::fprintf(stderr, "%s: no window appeared\n", who.name.c_str());
        return;
    }
    who.mapped.push_back(times->mapped_ms);
    if (times->painted_ms) who.painted.push_back(*times->painted_ms);
    std::this_thread::sleep_until(child->started() + 1s);
    who.cpu_first_second.push_back(CpuMs(child->pid()));
    child->Stop(SIGKILL);
}

struct Clicks {
    std::vector<double> to_empty, to_composed;
};

// The click's refresh: the first notification of _NET_WM_NAME after the release is its
// empty title, the first that leaves a text is its composed one. Waiting for that keeps the
// next click out of this one's pause. Times are of arrival here; a tick falling just there
// is rare and only adds an outlier. False when no refresh came.
bool TimeRefresh(RunningProgram& run, std::size_t seen, Clock::time_point released, Clicks& clicks) {
    for (auto deadline = released + 5s; Clock::now() < deadline; std::this_thread::sleep_for(1ms)) {
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
        clicks.to_empty.push_back(since(notes.front()));
        clicks.to_composed.push_back(since(*composed));
        return true;
    }
    return false;
}

// Clicks from step `first` to `last`, alternating far-apart points (no double-clicks).
void ClickThrough(RunningProgram& run, XClient& x, int first, int last, Clicks& clicks) {
    const int points[2][2] = {{100, 100}, {300, 300}};
    for (int step = first; step <= last; ++step) {
        const auto* p = points[step % 2];
        x.MoveTo(run.window(), p[0], p[1]);
        x.Press();
        std::size_t seen = run.titles().Raw().size();
        x.Release();
        const auto released = Clock::now();
        if (step >= story_table::kStopStep) {
            std::this_thread::sleep_for(30ms);
            continue;
        }
        if (!TimeRefresh(run, seen, released, clicks)) std::fprintf(stderr, "no refresh after step %d\n", step);
    }
}

// Percent of one core the process uses over the window.
double IdleCpuPercent(pid_t pid) {
    const double before = CpuMs(pid);
    std::this_thread::sleep_for(kCpuWindow);
    return (CpuMs(pid) - before) * 100.0 / std::chrono::duration<double, std::milli>(kCpuWindow).count();
}

std::uint32_t MusicLengthMs(const std::filesystem::path& midi) {
    std::ifstream in(midi, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto timeline = platform::MidiTimeline::Read(bytes);
    return timeline ? timeline->LengthMs() : 0;
}

long PeakKib(std::optional<ExitStatus> exit) { return exit ? exit->max_rss_kib : 0; }

}  // namespace

int main(int argc, char** argv) {
    // --start: the start figures alone, for trying a change to the start quickly.
    const bool start_only = argc > 1 && std::string(argv[1]) == "--start";
    Session session;
    PulseServer pulse(session);
    XClient x(session.display());
    TempDir work;
    CopyTree(SAMPLE_DIR, work.path());
    const auto midi = work.path() / "[]" / "xlkfnjxlxr.mid";
    TempDir silent;
    CopyTree(SAMPLE_DIR, silent.path());
    std::filesystem::remove(silent.path() / "[]" / "xlkfnjxlxr.mid");

    // Interleaved, so that the machine's moods fall on every contender alike.
    std::vector<Contender> contenders = {{"balloonstory", BALLOONSTORY_EXE, work.path(), {}},
                                         {"balloonstory, no music", BALLOONSTORY_EXE, silent.path(), {}},
                                         {"bare Qt window", FIXTURE_WINDOW, work.path(), {"bare"}}};
    bench::StartWatch watch(session.display());
    for (int i = 0; i < kStartRuns; ++i)
        for (auto& who : contenders) StartOnce(session, watch, who);
    for (auto& who : contenders) Print("start to window mapped, " + who.name, who.mapped, "ms");
    for (auto& who : contenders) Print("start to first paint, " + who.name, who.painted, "ms");
    for (auto& who : contenders) Print("CPU in the first second, " + who.name, who.cpu_first_second, "ms");
    const Contender& bare = contenders.back();
    for (std::size_t i = 0; i + 1 < contenders.size(); ++i) {
        std::printf("%-48s %.2fx mapped, %.2fx first paint, %.2fx CPU\n",
                    ("ratio to the bare window, " + contenders[i].name).c_str(),
                    Median(contenders[i].mapped) / Median(bare.mapped),
                    Median(contenders[i].painted) / Median(bare.painted),
                    Median(contenders[i].cpu_first_second) / Median(bare.cpu_first_second));
    }

    if (start_only) return 0;

    // The whole story with music, waiting at step 50 while the piece plays and after it ended.
    ProgramOptions options;
    options.program = BALLOONSTORY_EXE;
    options.cwd = work.path();
    Clicks clicks;
    long peak_music = 0;
    {
        RunningProgram run(session, x, options);
        ClickThrough(run, x, 1, kIdleStep, clicks);
        const double playing = IdleCpuPercent(run.child().pid());
        std::this_thread::sleep_until(run.child().started() + std::chrono::milliseconds(MusicLengthMs(midi)) +
                                      kAfterTheMusic);
        const double finished = IdleCpuPercent(run.child().pid());
        std::printf("%-48s %.2f %% of one core\n", "CPU waiting at step 50, music playing", playing);
        std::printf("%-48s %.2f %% of one core\n", "CPU waiting at step 50, music finished", finished);
        ClickThrough(run, x, kIdleStep + 1, story_table::kEndStep, clicks);
        peak_music = PeakKib(run.child().WaitExit(10s));
    }
    Print("release to empty title seen", clicks.to_empty, "ms");
    Print("release to composed title seen", clicks.to_composed, "ms");

    options.cwd = silent.path();
    Clicks unused;
    long peak_silent = 0;
    {
        RunningProgram run(session, x, options);
        ClickThrough(run, x, 1, story_table::kEndStep, unused);
        peak_silent = PeakKib(run.child().WaitExit(10s));
    }
    auto idle = session.Launch(FIXTURE_WINDOW, work.path(), {}, {"bare"});
    if (x.WaitForClient(idle->pid(), 15s)) std::this_thread::sleep_for(500ms);
    std::printf("%-48s %ld KiB\n", "peak memory, whole story, balloonstory", peak_music);
    std::printf("%-48s %ld KiB\n", "peak memory, whole story, no music", peak_silent);
    std::printf("%-48s %ld KiB\n", "peak memory, bare Qt window", idle->Stop(SIGTERM).max_rss_kib);
    return 0;
}
