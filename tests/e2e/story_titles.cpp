#include "story_titles.h"

#include <stdexcept>

#include "story_table.h"

namespace e2e {

using namespace story_table;

ExpectedStep ExpectedAfterStep(int step) {
    if (step < 0 || step > kEndStep) throw std::out_of_range("no such step");
    if (step < kStopStep) return {StepEffect::kRefresh, Composed(LineAfter(step))};
    if (step == kStopStep) return {StepEffect::kNothing, {}};
    if (step == kEndStep) return {StepEffect::kEnd, {}};
    return {StepEffect::kFrame, Frame(step)};
}

bool WaitForRefresh(const TitleObserver& titles, std::size_t since, const std::string& title,
                    std::chrono::milliseconds timeout) {
    return titles.WaitFor(
        [&](const std::vector<TitleChange>& changes) {
            for (std::size_t i = since; i + 1 < changes.size(); ++i) {
                if (changes[i].value.empty() && changes[i + 1].value == title) return true;
            }
            return false;
        },
        timeout);
}

std::string Describe(const std::vector<TitleChange>& changes) {
    std::string out;
    for (const auto& c : changes) out += std::to_string(c.time) + " [" + c.value.substr(0, 120) + "]\n";
    return out;
}

}  // namespace e2e
