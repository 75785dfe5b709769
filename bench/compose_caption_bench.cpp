// Cost of composing one title: time and heap allocations per title, for the
// shortest line (1 byte) and the longest (52 bytes, an 879-byte title).
// One iteration composes one title, so the Time column is the time per title.
#include <benchmark/benchmark.h>

#include <string>

#include "allocation_count.h"
#include "story/script.h"
#include "story/story.h"

namespace {

class DiscardingHost final : public story::StoryHost {
public:
    void SetTitle(std::string_view cp932) override {
        benchmark::DoNotOptimize(cp932.data());
        length = cp932.size();
    }
    void StopTimer() override {}
    void RequestTermination() override {}
    void Pause(std::chrono::milliseconds) override {}

    std::size_t length = 0;
};

void ComposeCaption(benchmark::State& state) {
    DiscardingHost host;
    story::Story story(host);
    story.StoryLine = std::string(story::ScriptEntry(static_cast<std::int32_t>(state.range(0)))->text);

    const long before = AllocationCount();
    for (auto _ : state) {
        story.ComposeCaption();
    }
    const long after = AllocationCount();

    state.SetLabel(std::to_string(story.StoryLine.size()) + "-byte line, " + std::to_string(host.length) +
                   "-byte title");
    state.counters["allocs_per_title"] = static_cast<double>(after - before) / static_cast<double>(state.iterations());
}

// Step 6 sets the one-space line, step 30 a 52-byte line.
BENCHMARK(ComposeCaption)->Arg(6)->Arg(30);

}  // namespace

BENCHMARK_MAIN();
