// The MIDI file reader and the tempo map it builds, as the multimedia commands use them:
// the length, positions turned into milliseconds, and "from"/"to" times turned into ticks.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <span>

#include "fuzz_support.h"
#include "platform/music/midi_file.h"

namespace {

using fuzz::Require;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto timeline = platform::MidiTimeline::Read(std::span(data, size));
    if (!timeline) return 0;
    const std::uint32_t ticks = timeline->LengthTicks();
    const std::uint32_t ms = timeline->LengthMs();

    // Positions as the sequencer reports them: any tick up to the largest it can give.
    std::uint32_t previous = 0;
    for (std::uint32_t tick : {0u, ticks / 3, ticks / 2, ticks, ticks + 1,
                               static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())}) {
        const std::uint32_t at = timeline->TicksToMs(tick);
        if (tick >= ticks / 3) Require(at >= previous, "time runs backwards");
        previous = at;
    }

    // Times a command may give: 0 up to the length.
    for (std::uint32_t at : {0u, ms / 2, ms}) {
        const std::uint32_t tick = timeline->MsToTicks(at);
        Require(tick <= ticks + 1 || at == ms, "a time inside the piece maps past its end");
    }
    return 0;
}
