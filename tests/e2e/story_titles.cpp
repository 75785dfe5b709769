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

}  // namespace e2e
