#include "story/story.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "iconv_reference.h"
#include "recording_host.h"
#include "story/script.h"
#include "story_table.h"

namespace story::testing {
namespace {

using namespace std::chrono_literals;

using story_table::Composed;
using story_table::Ideo;
using story_table::kStopStep;
using story_table::LineRow;
using story_table::Lines;

// Step -> expected line, in code page 932.
std::map<int, std::string> ExpectedLines() {
    std::map<int, std::string> lines;
    for (const LineRow& row : Lines()) lines[row.step] = Utf8ToCp932(row.Text());
    return lines;
}

std::string ExpectedFrame(int step) { return Utf8ToCp932(story_table::Frame(step)); }

struct StoryWithHost {
    RecordingHost host;
    Story story{host};

    // What the window does on a click: the step, then at once the blink while
    // the story is still being told.
    void Click() {
        story.AdvanceStory();
        if (story.Telling()) story.Refresh();
    }
    void ClickTo(int step) {
        while (story.StoryStep < step) Click();
    }
};

// The script row by row: each line's shape against its stated lengths, and
// against the program's entry for that step.
TEST(Script, LinesMatchTheirShapeAndLengths) {
    for (const LineRow& row : Lines()) {
        SCOPED_TRACE(row.step);
        const std::string utf8 = row.Text();
        EXPECT_EQ(Utf8ToCodePoints(utf8).size(), row.characters);
        const std::string cp932 = Utf8ToCp932(utf8);
        EXPECT_EQ(cp932.size(), row.bytes);
        const auto entry = ScriptEntry(row.step);
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->action, Action::Line);
        EXPECT_EQ(entry->text, cp932);
    }
}

TEST(Script, EntriesOnlyForZeroToHundred) {
    for (std::int32_t step :
         {std::numeric_limits<std::int32_t>::min(), -1, 101, std::numeric_limits<std::int32_t>::max()}) {
        EXPECT_FALSE(ScriptEntry(step)) << step;
    }
    ASSERT_TRUE(ScriptEntry(0));
    EXPECT_EQ(ScriptEntry(0)->action, Action::None);
}

// The whole story from start to end, click by click: every call the window
// receives, in order, and the title it then shows.
TEST(Story, WalkThroughTheWholeScript) {
    StoryWithHost s;
    const auto lines = ExpectedLines();
    std::string line = " ";
    s.story.StoryLine = line;

    // The first timer tick, before any click.
    s.story.Refresh();
    EXPECT_EQ(s.host.Take(),
              (std::vector<HostCall>{HostCall::Title(""), HostCall::Sleep(60ms), HostCall::Title(Composed(" "))}));

    std::string shown = Composed(" ");
    for (int step = 1; step <= 105; ++step) {
        SCOPED_TRACE(step);
        s.Click();
        ASSERT_EQ(s.story.StoryStep, step);

        std::vector<HostCall> expected;
        if (step < kStopStep) {
            if (lines.contains(step)) line = lines.at(step);
            shown = Composed(line);
            expected = {HostCall::Title(""), HostCall::Sleep(60ms), HostCall::Title(shown)};
        } else if (step == kStopStep) {
            expected = {HostCall::Stop()};
        } else if (step <= story_table::kLastFrameStep) {
            shown = ExpectedFrame(step);
            expected = {HostCall::Title(shown)};
        } else if (step == story_table::kEndStep) {
            expected = {HostCall::Terminate()};
        }
        EXPECT_EQ(s.host.Take(), expected);
        EXPECT_EQ(s.host.title, shown);
        EXPECT_EQ(s.story.StoryLine, line);
    }
    // Frames never touched the line: the last one told stays.
    EXPECT_EQ(line, " ");
}

TEST(Story, FramesAtTheEndsOfTheAnimation) {
    const std::map<int, std::string> frames = {
        {78, "　　　　（( ？ )）"},
        {79, "　　　　　（ ？ ）"},
        {98, Ideo(14) + "（( ？ )）"},
        {99, Ideo(15) + "（ ？ ）"},
    };
    for (const auto& [step, utf8] : frames) {
        SCOPED_TRACE(step);
        StoryWithHost s;
        s.ClickTo(step);
        EXPECT_EQ(s.host.title, Utf8ToCp932(utf8));
    }
}

TEST(Story, TitleLengths) {
    struct Case {
        int step;
        std::size_t bytes;
    };
    // Step 6 brings back the one-space line of the start.
    for (const Case& c :
         {Case{1, 79}, Case{6, 63}, Case{12, 239}, Case{30, 879}, Case{54, 879}, Case{78, 18}, Case{99, 38}}) {
        SCOPED_TRACE(c.step);
        StoryWithHost s;
        s.story.StoryLine = " ";
        s.ClickTo(c.step);
        EXPECT_EQ(s.host.title.size(), c.bytes);
    }
}

TEST(Story, StartTitleHasTwentySixSpacesInTheMiddle) {
    StoryWithHost s;
    s.story.StoryLine = " ";
    s.story.ComposeCaption();
    EXPECT_EQ(s.host.title, "((((((((((((((((" + std::string(26, ' ') + "))))))))))))))))     ");
}

TEST(Story, RefreshBlanksTheTitleDuringTheSixtyMillisecondPause) {
    StoryWithHost s;
    s.story.StoryLine = "x";
    s.story.Refresh();
    s.story.Refresh();  // an unchanged line still blinks
    const HostCall composed = HostCall::Title(Composed("x"));
    EXPECT_EQ(s.host.Take(), (std::vector<HostCall>{HostCall::Title(""), HostCall::Sleep(60ms), composed,
                                                    HostCall::Title(""), HostCall::Sleep(60ms), composed}));
}

// The counter cannot rise forever. At its largest value it stays there, where
// nothing happens, rather than wrapping round to negative values and climbing
// back into the story.
TEST(Story, CounterStopsAtItsLargestValue) {
    StoryWithHost s;
    s.story.StoryLine = " ";
    s.story.StoryStep = std::numeric_limits<std::int32_t>::max() - 1;
    for (int i = 0; i < 3; ++i) s.Click();
    EXPECT_EQ(s.story.StoryStep, std::numeric_limits<std::int32_t>::max());
    EXPECT_TRUE(s.host.calls.empty());
    EXPECT_EQ(s.story.StoryLine, " ");
}

}  // namespace
}  // namespace story::testing
