// Decode-and-stretch of large pictures beside `djpeg -dct float` on the same files:
// wall time and peak resident memory, each run in a fresh child process.
//   picture_decode_bench [megapixels...]    (default: 1 24 100)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "rgb_jpeg_writer.h"

#include "platform/jpeg/jpeg_decoder.h"

namespace {

// A smooth scene with some texture, so that the file is neither trivial nor noise.
void WriteTestPicture(const std::string& path, int width, int height) {
    const bool written = WriteRgbJpeg(path.c_str(), width, height, 90, [width, height](int y, JSAMPLE* row) {
        for (int x = 0; x < width; ++x) {
            const double u = static_cast<double>(x) / width, v = static_cast<double>(y) / height;
            const unsigned noise = (static_cast<unsigned>(x) * 2654435761u ^ static_cast<unsigned>(y) * 40503u) >> 28;
            row[3 * x + 0] = static_cast<JSAMPLE>(128 + 100 * std::sin(u * 20 + v * 3) + noise);
            row[3 * x + 1] = static_cast<JSAMPLE>(128 + 100 * std::cos(v * 15) * std::sin(u * 4));
            row[3 * x + 2] = static_cast<JSAMPLE>(((x / 64 + y / 64) & 1) ? 200 - noise : 40 + noise);
        }
    });
    if (!written) std::exit(1);
}

long MaxRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct Run {
    double seconds = 0;
    long peak_kb = 0;
    int status = 0;
};

// Runs `child` in a fresh process and reports its wall time and peak memory.
template <typename F>
Run Measure(F child) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) std::_Exit(child());
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Run run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peak_kb = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Our decode as the window does it: the file's bytes in memory, decoded to 400x400.
// Prints the memory the decode added above the loaded bytes.
int DecodeChild(const std::string& path, bool low_colour) {
    std::vector<std::uint8_t> bytes(std::filesystem::file_size(path));
    std::ifstream(path, std::ios::binary)
        .read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const long before = MaxRssKb();
    platform::jpeg::Stretched shown;
    const int code = platform::jpeg::DecodeStretched(bytes, 400, 400, low_colour, shown);
    std::printf("  %-28s decoding added %ld KiB to the %zu KiB of file bytes\n",
                low_colour ? "(8-bit display)" : "(24-bit)", MaxRssKb() - before, bytes.size() / 1024);
    std::fflush(stdout);
    return code == 0 ? 0 : 1;
}

int DjpegChild(const std::string& path) {
    execlp("djpeg", "djpeg", "-dct", "float", "-outfile", "/dev/null", path.c_str(), static_cast<char*>(nullptr));
    return 127;
}

void Print(const char* what, const Run& run) {
    std::printf("  %-28s %8.3f s  peak %8ld KiB%s\n", what, run.seconds, run.peak_kb,
                run.status == 0 ? "" : "  (FAILED)");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<double> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atof(argv[i]));
    if (sizes.empty()) sizes = {1, 24, 100};

    const auto dir = std::filesystem::temp_directory_path() / ("picture-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    for (double megapixels : sizes) {
        // 3:2 pictures, as cameras make them.
        const int height = static_cast<int>(std::lround(std::sqrt(megapixels * 1e6 / 1.5)));
        const int width = static_cast<int>(std::lround(height * 1.5));
        const std::string path =
            (dir / ("picture-" + std::to_string(width) + "x" + std::to_string(height) + ".jpeg")).string();
        WriteTestPicture(path, width, height);
        std::printf("%dx%d (%.1f MP, %ju KiB)\n", width, height, width * static_cast<double>(height) / 1e6,
                    static_cast<std::uintmax_t>(std::filesystem::file_size(path) / 1024));
        std::fflush(stdout);
        Print("djpeg -dct float", Measure([&] { return DjpegChild(path); }));
        Print("decode+stretch, 24-bit", Measure([&] { return DecodeChild(path, false); }));
        Print("decode+stretch, 8-bit display", Measure([&] { return DecodeChild(path, true); }));
        std::filesystem::remove(path);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
