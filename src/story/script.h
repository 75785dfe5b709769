// The fixed script: one entry for every step 0..100.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace story {

enum class Action { None, Line, Stop, Frame, End };

struct Entry {
    Action action = Action::None;
    std::string_view text;  // code page 932; for Line and Frame
};

inline constexpr std::int32_t kLastStep = 100;

// The entry for a step, or nothing outside 0..100.
std::optional<Entry> ScriptEntry(std::int32_t step);
// The step of the script's Stop entry, which ends the telling: the timer stops there,
// and from there on a click is no longer followed by a refresh.
std::int32_t StopStep();

}  // namespace story
