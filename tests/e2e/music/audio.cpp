#include "audio.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numeric>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace e2e {
namespace {

using namespace std::chrono_literals;

std::string Run(const std::vector<std::string>& argv, const std::filesystem::path& dir) {
    LaunchOptions options;
    options.argv = argv;
    options.env = {"PATH=/usr/bin:/bin", "LC_ALL=C"};
    options.stdout_path = dir / "tool.stdout";
    options.stderr_path = dir / "tool.stderr";
    Child child(options);
    auto status = child.WaitExit(60s);
    if (!status || status->code != 0) throw std::runtime_error(argv[0] + " failed: " + ReadFile(options.stderr_path));
    return ReadFile(options.stdout_path) + ReadFile(options.stderr_path);
}

}  // namespace

PulseServer::PulseServer(const Session& session) {
    std::filesystem::create_directories(session.home() / ".config" / "pulse");
    LaunchOptions options;
    // As root PulseAudio warns and goes on; the test machines run as root.
    options.argv = {"/usr/bin/pulseaudio",
                    "-n",
                    "--daemonize=no",
                    "--exit-idle-time=-1",
                    "--disallow-exit",
                    "--use-pid-file=no",
                    "--disable-shm=true",
                    "-L",
                    "module-native-protocol-unix",
                    "-L",
                    "module-null-sink sink_name=capture rate=44100",
                    "-L",
                    "module-always-sink"};
    options.env = session.Environment();
    options.stderr_path = session.dir() / "pulseaudio.stderr";
    server_ = std::make_unique<Child>(options);
    const auto socket = session.runtime_dir() / "pulse" / "native";
    for (int i = 0; i < 100 && !std::filesystem::exists(socket); ++i) std::this_thread::sleep_for(50ms);
    if (!std::filesystem::exists(socket))
        throw std::runtime_error("pulseaudio did not start: " + ReadFile(options.stderr_path));
}

PulseServer::~PulseServer() { server_->Stop(); }

void PulseServer::Kill() { server_->Stop(SIGKILL); }

Recording::Recording(const Session& session, std::filesystem::path wav) : wav_(std::move(wav)) {
    LaunchOptions options;
    options.argv = {"/usr/bin/parec", "-d",           "capture.monitor", "--file-format=wav",
                    "--rate=44100",   "--channels=2", "--format=s16le",  "--latency-msec=50",
                    wav_.string()};
    options.env = session.Environment();
    options.stderr_path = session.dir() / "parec.stderr";
    parec_ = std::make_unique<Child>(options);
    // The recording runs once the file has its header.
    for (int i = 0; i < 100 && !(std::filesystem::exists(wav_) && std::filesystem::file_size(wav_) > 0); ++i)
        std::this_thread::sleep_for(20ms);
}

Recording::~Recording() {
    if (parec_) parec_->Stop(SIGINT);
}

const std::filesystem::path& Recording::Stop() {
    parec_->Stop(SIGINT);  // parec finishes the WAV header when interrupted
    parec_.reset();
    return wav_;
}

bool Recording::WaitForSound(std::chrono::milliseconds timeout) const {
    constexpr std::streamoff kHeader = 4096;  // the WAV header, and silence in any case
    constexpr int kWhisper = 100;             // of 32767, about -50 dBFS
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::ifstream in(wav_, std::ios::binary);
    in.seekg(kHeader);
    std::streamoff read = kHeader;
    for (;;) {
        std::int16_t sample;
        while (in.read(reinterpret_cast<char*>(&sample), sizeof sample)) {
            read += sizeof sample;
            if (std::abs(sample) > kWhisper) return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(100ms);
        // Past the end of what was written so far: read on from there once it has grown.
        in.clear();
        in.seekg(read);
    }
}

std::vector<float> LoadMono(const std::filesystem::path& file, int rate, double seconds) {
    const auto raw = file.parent_path() / (file.stem().string() + ".raw");
    Run({"/usr/bin/sox", file.string(), "-t", "raw", "-e", "floating-point", "-b", "32", "-c", "1", "-r",
         std::to_string(rate), raw.string(), "trim", "0", std::to_string(seconds)},
        file.parent_path());
    std::ifstream in(raw, std::ios::binary);
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    return samples;
}

double RmsDb(const std::filesystem::path& file) {
    const std::string report = Run({"/usr/bin/sox", file.string(), "-n", "stats"}, file.parent_path());
    std::istringstream lines(report);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("RMS lev dB", 0) != 0) continue;
        std::istringstream fields(line.substr(10));
        std::string overall;
        fields >> overall;
        return overall == "-inf" ? -INFINITY : std::stod(overall);
    }
    throw std::runtime_error("no RMS level from sox: " + report);
}

std::filesystem::path RenderMidi(const std::filesystem::path& midi, const std::filesystem::path& wav) {
    Run({"/usr/bin/fluidsynth", "-n", "-i", "-q", "-g", "0.8", "-r", "44100", "-F", wav.string(),
         "/usr/share/sounds/sf2/TimGM6mb.sf2", midi.string()},
        wav.parent_path());
    return wav;
}

std::vector<double> Envelope(const std::vector<float>& samples, int hop) {
    std::vector<double> out;
    for (std::size_t i = 0; i + hop <= samples.size(); i += hop) {
        double sum = 0;
        for (int k = 0; k < hop; ++k) sum += double(samples[i + k]) * samples[i + k];
        out.push_back(std::sqrt(sum / hop));
    }
    return out;
}

Alignment Align(const std::vector<double>& reference, const std::vector<double>& later, int max_lag) {
    Alignment best{0, -2};
    for (int lag = 0; lag <= max_lag; ++lag) {
        const std::size_t n = std::min(reference.size(), later.size() - std::min<std::size_t>(later.size(), lag));
        if (n < 10) break;
        double ma = 0, mb = 0;
        for (std::size_t i = 0; i < n; ++i) ma += reference[i], mb += later[i + lag];
        ma /= n, mb /= n;
        double ab = 0, aa = 0, bb = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double a = reference[i] - ma, b = later[i + lag] - mb;
            ab += a * b, aa += a * a, bb += b * b;
        }
        const double r = aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
        if (r > best.correlation) best = {lag, r};
    }
    return best;
}

std::vector<double> Chroma(const std::vector<float>& samples, int rate, std::size_t start, std::size_t length) {
    std::vector<double> chroma(12, 0.0);
    length = std::min(length, samples.size() - std::min(samples.size(), start));
    for (int pitch = 60; pitch < 108; ++pitch) {
        // Goertzel filter at the pitch's fundamental.
        const double frequency = 440.0 * std::pow(2.0, (pitch - 69) / 12.0);
        const double coefficient = 2 * std::cos(2 * M_PI * frequency / rate);
        double s1 = 0, s2 = 0;
        for (std::size_t i = 0; i < length; ++i) {
            const double window = 0.5 - 0.5 * std::cos(2 * M_PI * i / length);
            const double s0 = samples[start + i] * window + coefficient * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        chroma[pitch % 12] += s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    }
    return chroma;
}

double Cosine(const std::vector<double>& a, const std::vector<double>& b) {
    const double ab = std::inner_product(a.begin(), a.end(), b.begin(), 0.0);
    const double aa = std::inner_product(a.begin(), a.end(), a.begin(), 0.0);
    const double bb = std::inner_product(b.begin(), b.end(), b.begin(), 0.0);
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

std::vector<double> Transpose(const std::vector<double>& chroma, int semitones) {
    std::vector<double> out(12);
    for (int i = 0; i < 12; ++i) out[(i + semitones + 12) % 12] = chroma[i];
    return out;
}

}  // namespace e2e
