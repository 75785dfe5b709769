// Placeholder until the script table lands.
#include "story/script.h"

namespace story {

std::optional<Entry> ScriptEntry(std::int32_t step) {
    if (step < 0 || step > kLastStep) return std::nullopt;
    return Entry{};
}

}  // namespace story
