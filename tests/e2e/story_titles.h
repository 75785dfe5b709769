// What the window title must show after each step of the story, in UTF-8, written
// out from the story's own table rather than taken from the program.
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
// Sixteen "(", five spaces, sixteen copies of the line, five spaces, sixteen ")", five spaces.
std::string ComposedTitle(const std::string& line);

}  // namespace e2e
