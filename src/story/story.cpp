#include "story/story.h"

#include <limits>

#include "story/script.h"

namespace story {

namespace {
constexpr int kRepeat = 16;
constexpr std::string_view kSeparator = "     ";
}  // namespace

void Story::ComposeCaption() {
    std::string result;
    result.reserve(3 * kSeparator.size() + kRepeat * (2 + StoryLine.size()));
    auto append_repeated = [&result](std::string_view piece) {
        for (int i = 0; i < kRepeat; ++i) result += piece;
        result += kSeparator;
    };
    append_repeated("(");
    append_repeated(StoryLine);
    append_repeated(")");
    host_.SetTitle(result);
}

void Story::AdvanceStory() {
    // The counter keeps rising past the end, where clicks do nothing. It stops
    // at its largest value instead of wrapping round to negative values, from
    // where it would climb back into the script and replay it.
    if (StoryStep < std::numeric_limits<std::int32_t>::max()) ++StoryStep;
    const auto entry = ScriptEntry(StoryStep);
    if (!entry) return;
    switch (entry->action) {
        case Action::None:
            break;
        case Action::Line:
            StoryLine = entry->text;
            break;
        case Action::Stop:
            host_.StopTimer();
            break;
        case Action::Frame:
            host_.SetTitle(entry->text);
            break;
        case Action::End:
            host_.RequestTermination();
            break;
    }
}

bool Story::Telling() const { return StoryStep < StopStep(); }

void Story::Refresh() {
    host_.SetTitle({});
    host_.Pause(kBlinkPause);
    ComposeCaption();
}

}  // namespace story
