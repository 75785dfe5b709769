// What the window title must show after each step of the story, in UTF-8, from the
// story's table (tests/support) rather than taken from the program.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "title_observer.h"

namespace e2e {

enum class StepEffect { kRefresh, kNothing, kFrame, kEnd };

struct ExpectedStep {
    StepEffect effect;
    std::string title;  // composed title for kRefresh, the frame for kFrame
};

// For step 0 (the start) to 100.
ExpectedStep ExpectedAfterStep(int step);

// Waits until, after the first `since` changes, the title was emptied and then became
// `title`: one refresh.
bool WaitForRefresh(const TitleObserver& titles, std::size_t since, const std::string& title,
                    std::chrono::milliseconds timeout);
// The changes with their server times, one a line, for failure messages.
std::string Describe(const std::vector<TitleChange>& changes);

}  // namespace e2e
