// Start-up with picture files far larger than their picture, beside the sample story in
// the same session: the time from starting the program to its window showing the
// picture, seen by the X server's damage reports, and the peak memory (wait4).
// Further programs named on the command line (another build, for instance) run beside
// this build's, each on every file. A plain program: it prints, it asserts nothing.
//   large_picture_bench [runs, default 5] [program...]
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "jpeg_fixtures.h"
#include "program.h"
#include "session.h"
#include "xclient.h"

using namespace e2e;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kGiB = 1ULL << 30;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Every drawing on the screen, as the X server reports it.
class DamageWatch {
public:
    explicit DamageWatch(const std::string& display_name) : display_(XOpenDisplay(display_name.c_str())) {
        int error_base = 0;
        if (!display_ || !XDamageQueryExtension(display_, &event_base_, &error_base))
            throw std::runtime_error("no DAMAGE extension on " + display_name);
        damage_ = XDamageCreate(display_, DefaultRootWindow(display_), XDamageReportRawRectangles);
        XSync(display_, False);
    }
    ~DamageWatch() {
        XDamageDestroy(display_, damage_);
        XCloseDisplay(display_);
    }
    DamageWatch(const DamageWatch&) = delete;
    DamageWatch& operator=(const DamageWatch&) = delete;

    // Waits for the drawing that leaves the program's main window showing a picture (more
    // than one colour); returns when its report arrived.
    std::optional<std::chrono::steady_clock::time_point> WaitForPicture(XClient& x, pid_t pid,
                                                                        std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::optional<WindowId> window;
        for (;;) {
            while (XPending(display_)) {
                XEvent event;
                XNextEvent(display_, &event);
                const auto arrived = std::chrono::steady_clock::now();
                if (event.type != event_base_ + XDamageNotify) continue;
                const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(event);
                if (!window) window = x.WaitForClient(pid, 0ms);
                if (!window || !x.Viewable(*window)) continue;
                if (!Overlaps(damage.area, x.Geometry(*window))) continue;
                if (ShowsPicture(x.Screenshot(*window))) return arrived;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return std::nullopt;
            pollfd p{ConnectionNumber(display_), POLLIN, 0};
            poll(&p, 1, static_cast<int>(left.count()));
        }
    }

private:
    static bool Overlaps(const XRectangle& a, const Rect& b) {
        return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
    }
    static bool ShowsPicture(const Image& shot) {
        std::set<Rgb> colours;
        for (int y = 0; y < shot.height && colours.size() < 2; y += 7)
            for (int x = 0; x < shot.width && colours.size() < 2; x += 7) colours.insert(shot.Pixel(x, y));
        return colours.size() >= 2;
    }

    Display* display_;
    int event_base_ = 0;
    Damage damage_ = 0;
};

std::vector<std::uint8_t> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Case {
    const char* name;
    std::uint64_t app1_segments;
    std::uint64_t trailing_zeros;
    std::uintmax_t file_size = 0;
};

struct Figures {
    std::vector<double> ms;
    std::vector<double> peak_mib;
};

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::vector<fs::path> programs = {BALLOONSTORY_EXE};
    for (int i = 2; i < argc; ++i) programs.emplace_back(argv[i]);
    Session session;
    XClient x(session.display());
    DamageWatch damage(session.display());

    const fs::path sample_picture = fs::path(SAMPLE_DIR) / "[]" / "balloonpicture.jpeg";
    const std::uint64_t sample_size = fs::file_size(sample_picture);
    std::vector<Case> cases = {
        {"sample story", 0, 0},
        {"2 GiB: the sample picture, then zeros", 0, 2 * kGiB - sample_size},
        {"190 MB of APP1 segments, then the picture", 190'000'000 / fixtures::kApp1SegmentSize, 0},
    };
    std::vector<std::unique_ptr<TempDir>> dirs;
    for (Case& c : cases) {
        dirs.push_back(std::make_unique<TempDir>("balloonstory-bench"));
        CopyTree(SAMPLE_DIR, dirs.back()->path());
        const fs::path picture = dirs.back()->path() / "[]" / "balloonpicture.jpeg";
        if (c.app1_segments || c.trailing_zeros)
            fixtures::WriteLargeFile(picture, ReadAll(sample_picture), c.app1_segments, c.trailing_zeros);
        c.file_size = fs::file_size(picture);
    }

    // Rounds over all programs and cases, so that the machine's load falls on each alike.
    std::vector<std::vector<Figures>> figures(programs.size(), std::vector<Figures>(cases.size()));
    for (int run = 0; run < runs; ++run) {
        for (std::size_t p = 0; p < programs.size(); ++p) {
            for (std::size_t i = 0; i < cases.size(); ++i) {
                auto child = session.Launch(programs[p], dirs[i]->path());
                const auto shown = damage.WaitForPicture(x, child->pid(), 60s);
                std::this_thread::sleep_for(1s);  // the rest of start-up: the music
                const ExitStatus status = child->Stop(SIGKILL);
                if (!shown) {
                    std::fprintf(stderr, "%s, %s: no picture within 60 s\n", programs[p].c_str(), cases[i].name);
                    continue;
                }
                figures[p][i].ms.push_back(
                    std::chrono::duration<double, std::milli>(*shown - child->started()).count());
                figures[p][i].peak_mib.push_back(static_cast<double>(status.max_rss_kib) / 1024);
            }
        }
    }

    for (std::size_t p = 0; p < programs.size(); ++p) {
        std::printf("%s\n", programs[p].c_str());
        std::printf("  %-44s %12s %30s %26s\n", "picture file", "size", "start to picture shown, ms",
                    "peak memory, MiB");
        for (std::size_t i = 0; i < cases.size(); ++i) {
            const Figures& f = figures[p][i];
            if (f.ms.empty()) continue;
            std::printf("  %-44s %12ju   median %7.1f (min %7.1f)   median %6.1f (max %6.1f)\n", cases[i].name,
                        cases[i].file_size, Median(f.ms), *std::min_element(f.ms.begin(), f.ms.end()),
                        Median(f.peak_mib), *std::max_element(f.peak_mib.begin(), f.peak_mib.end()));
        }
    }
    std::printf("(%d runs of each, interleaved)\n", runs);
    return 0;
}
