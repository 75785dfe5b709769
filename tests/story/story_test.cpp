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

namespace story::testing {
namespace {

using namespace std::chrono_literals;

// n ideographic spaces (U+3000), in UTF-8.
std::string Ideo(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "　";
    return s;
}

// The story's lines as the table describes their shape, written apart from the
// program's own script so that a slip in one does not hide in the other. Each
// row also carries the stated length in characters and in code page 932 bytes.
struct LineRow {
    int step;
    std::vector<std::string> shape;  // pieces in UTF-8, joined in order
    std::size_t characters;
    std::size_t bytes;
};

const std::vector<LineRow>& Lines() {
    static const std::vector<LineRow> rows = {
        {1, {"ね"}, 1, 2},
        {2, {"つ"}, 1, 2},
        {3, {"き"}, 1, 2},
        {4, {"ゅ"}, 1, 2},
        {5, {"う"}, 1, 2},
        {6, {" "}, 1, 1},
        {11, {"ねつ", Ideo(1)}, 3, 6},
        {12, {"ねつきき", Ideo(2)}, 6, 12},
        {13, {"まっさかさま"}, 6, 12},
        {14, {"ねつききゅう", Ideo(1)}, 7, 14},
        {15, {"たかい", Ideo(1)}, 4, 8},
        {16, {Ideo(1), "つき", Ideo(2)}, 5, 10},
        {17, {"つき", Ideo(2)}, 4, 8},
        {18, {Ideo(6), "つ"}, 7, 14},
        {19, {" "}, 1, 1},
        {25, {"まんまる"}, 4, 8},
        {26, {"まる", Ideo(1)}, 3, 6},
        {27, {"ばーなー", Ideo(1)}, 5, 10},
        {28, {"あがる", Ideo(1)}, 4, 8},
        {29, {"さがる", Ideo(1)}, 4, 8},
        {30, {"まだくらくない", Ideo(19)}, 26, 52},
        {33, {" "}, 1, 1},
        {38, {"ゆっくり", Ideo(22)}, 26, 52},
        {39, {"すごくゆっくり", Ideo(19)}, 26, 52},
        {40, {"おひさまといっしょ", Ideo(17)}, 26, 52},
        {41, {"ゆっくり", Ideo(22)}, 26, 52},
        {42, {" "}, 1, 1},
        {49, {"どこまで", Ideo(1), "いくのか", Ideo(17)}, 26, 52},
        {50, {"どこまで", Ideo(1), "いけるのか", Ideo(16)}, 26, 52},
        {51, {"ここは", Ideo(23)}, 26, 52},
        {52, {"ほしと", Ideo(1), "じめんと", Ideo(18)}, 26, 52},
        {53, {"どっちが", Ideo(1), "ちかいんだろう", Ideo(14)}, 26, 52},
        {54, {"ほし", Ideo(1), "じめん", Ideo(20)}, 26, 52},
        {57, {Ideo(1), "ほし", Ideo(1), "じめん"}, 7, 14},
        {58, {" "}, 1, 1},
        {61, {"★", Ideo(1), "▲", Ideo(1)}, 4, 8},
        {62, {Ideo(1), "☆", Ideo(1), "△", Ideo(1)}, 5, 10},
        {63, {Ideo(1), "★", Ideo(4), "△"}, 7, 14},
        {64, {Ideo(1), "☆★"}, 3, 6},
        {65, {"☆★", Ideo(1), "☆", Ideo(2), "☆"}, 7, 14},
        {66, {" "}, 1, 1},
        {71, {Ideo(2), "Zzz"}, 5, 7},
        {74, {" "}, 1, 1},
    };
    return rows;
}

std::string Join(const std::vector<std::string>& pieces) {
    std::string s;
    for (const auto& p : pieces) s += p;
    return s;
}

// Step -> expected line, in code page 932.
std::map<int, std::string> ExpectedLines() {
    std::map<int, std::string> lines;
    for (const LineRow& row : Lines()) lines[row.step] = Utf8ToCp932(Join(row.shape));
    return lines;
}

// The face reaches one more ideographic space on every odd (narrow) step and
// keeps its place on the even (wide) step after it.
std::string ExpectedFrame(int step) {
    const int indent = 4 + (step - 78 + 1) / 2;
    const char* face = step % 2 == 0 ? "（( ？ )）" : "（ ？ ）";
    return Utf8ToCp932(Ideo(indent) + face);
}

std::string Composed(const std::string& line) {
    std::string middle;
    for (int i = 0; i < 16; ++i) middle += line;
    return std::string(16, '(') + "     " + middle + "     " + std::string(16, ')') + "     ";
}

struct StoryWithHost {
    RecordingHost host;
    Story story{host};

    // What the window does on a click: the step, then at once the blink while
    // the story is still being told.
    void Click() {
        story.AdvanceStory();
        if (story.StoryStep < 77) story.Refresh();
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
        const std::string utf8 = Join(row.shape);
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
        if (step < 77) {
            if (lines.contains(step)) line = lines.at(step);
            shown = Composed(line);
            expected = {HostCall::Title(""), HostCall::Sleep(60ms), HostCall::Title(shown)};
        } else if (step == 77) {
            expected = {HostCall::Stop()};
        } else if (step <= 99) {
            shown = ExpectedFrame(step);
            expected = {HostCall::Title(shown)};
        } else if (step == 100) {
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
