// What the window title must show after each step of the story, in UTF-8, from the
// story's table (tests/support) rather than taken from the program.
#pragma once

#include <string>

namespace e2e {

enum class StepEffect { kRefresh, kNothing, kFrame, kEnd };

struct ExpectedStep {
    StepEffect effect;
    std::string title;  // composed title for kRefresh, the frame for kFrame
};

// For step 0 (the start) to 100.
ExpectedStep ExpectedAfterStep(int step);

}  // namespace e2e
