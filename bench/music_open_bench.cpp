// What starting the music costs the user-interface thread: the two commands the program
// sends, and, apart from that, how long the sequencer takes to become ready on its own
// thread (SoundFont and audio output). Runs in the sample directory.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/music/mmsystem.h"

namespace {

using Clock = std::chrono::steady_clock;

void Send(const char* command) {
    char none[] = "";
    platform::mciSendStringA(command, none, 0, nullptr);
}

void BM_OpenAndPlay(benchmark::State& state) {
    for (auto _ : state) {
        Send("open []\\xlkfnjxlxr.mid alias FILE");
        Send("play FILE notify");
        state.PauseTiming();
        Send("close FILE");  // waits for the loader
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenAndPlay)->Unit(benchmark::kMicrosecond)->Iterations(20);

void BM_UntilReady(benchmark::State& state) {
    for (auto _ : state) {
        const auto start = Clock::now();
        Send("open []\\xlkfnjxlxr.mid alias FILE");
        char ready[8] = "";
        while (std::string(ready) != "true") {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            platform::mciSendStringA("status FILE ready", ready, sizeof ready, nullptr);
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        Send("close FILE");
    }
}
BENCHMARK(BM_UntilReady)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::current_path(SAMPLE_DIR);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
