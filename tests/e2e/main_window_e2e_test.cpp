// The real program under Xvfb and openbox, clicked through XTEST, its title watched
// by our own X client. Each test runs it in a fresh copy of sample/.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "program.h"
#include "story_table.h"
#include "story_titles.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

// Two points far apart: consecutive clicks alternate between them, so that no two
// make a double click.
constexpr struct { int x, y; } kPoints[2] = {{100, 100}, {300, 300}};

// A refresh pauses 60 ms between the empty and the composed title; on a loaded machine
// the gap only grows, and it stays well under the 1300 ms of a tick.
constexpr unsigned long kMinBlinkGap = 55;
constexpr unsigned long kMaxBlinkGap = 650;

// A point in the run: the server's clock and how many title changes had been seen.
// Changes in the same millisecond as the clock reading can lie on either side of it,
// so the count, not the clock, says which changes came after.
struct Mark {
    unsigned long time = 0;
    std::size_t seen = 0;
};

std::vector<TitleChange> Between(const std::vector<TitleChange>& changes, Mark from, std::size_t to = ~std::size_t{0}) {
    to = std::min(to, changes.size());
    if (from.seen >= to) return {};
    return {changes.begin() + static_cast<std::ptrdiff_t>(from.seen),
            changes.begin() + static_cast<std::ptrdiff_t>(to)};
}

class ProgramTest : public testing::Test {
protected:
    void SetUp() override {
        CopyTree(SAMPLE_DIR, work_.path());
        ProgramOptions options;
        options.program = BALLOONSTORY_EXE;
        options.cwd = work_.path();
        program_ = std::make_unique<RunningProgram>(session_, x_, options);
    }

    WindowId window() const { return program_->window(); }
    TitleObserver& titles() { return program_->titles(); }
    std::vector<TitleChange> Changes() { return titles().Changes(); }

    Mark Now() {
        Mark mark;
        mark.time = x_.ServerTime();
        mark.seen = Changes().size();
        return mark;
    }

    // Clicks at the next of the alternating points; returns the mark before it.
    Mark Click() {
        Mark before = Now();
        const auto& p = kPoints[clicks_++ % 2];
        x_.Click(window(), p.x, p.y);
        return before;
    }

    // Waits until, after `since`, the title was emptied and then became `title`.
    bool WaitForRefresh(Mark since, const std::string& title, std::chrono::milliseconds timeout = 5s) {
        return e2e::WaitForRefresh(titles(), since.seen, title, timeout);
    }

    bool WaitForTitle(Mark since, const std::string& title, std::chrono::milliseconds timeout = 5s) {
        return titles().WaitFor(
            [&](const std::vector<TitleChange>& changes) {
                return std::any_of(changes.begin() + static_cast<std::ptrdiff_t>(std::min(since.seen, changes.size())),
                                   changes.end(), [&](const TitleChange& c) { return c.value == title; });
            },
            timeout);
    }

    // WM_NAME is written with _NET_WM_NAME: once a title has been seen in one, the other
    // holds it too, or the empty title of a tick's blink that ends with it again. Read
    // from the window itself: an observer that falls behind by a pause on a busy machine
    // reads a later value for two notifications, and one title drops out of its record.
    bool WmNameBecomes(const std::string& title) {
        for (auto deadline = std::chrono::steady_clock::now() + 1s; std::chrono::steady_clock::now() < deadline;
             std::this_thread::sleep_for(5ms)) {
            if (x_.WmName(window()) == title) return true;
        }
        return false;
    }

    // Waits for a timer tick's refresh to finish, so that about a second without ticks
    // follows; returns the server time of the tick's empty title.
    unsigned long AfterTick() {
        Mark since = Now();
        EXPECT_TRUE(WaitForRefresh(since, story_table::Composed(" "), 3s)) << Describe(Changes());
        unsigned long empty = 0;
        for (const auto& c : Between(Changes(), since))
            if (c.value.empty()) empty = c.time;
        return empty;
    }

    // Does `act`, then checks that the title did not change for a while and that the
    // story had not moved: the next left click takes step 1.
    void ExpectIgnored(const std::function<void()>& act, const char* what) {
        unsigned long tick = AfterTick();
        Mark before = Now();
        act();
        std::this_thread::sleep_for(300ms);
        Mark after = Now();
        // Only a stretch free of timer ticks tells; a slow machine may not give one.
        if (after.time < tick + 1250) {
            EXPECT_EQ(Describe(Between(Changes(), before, after.seen)), "") << what;
        } else {
            ADD_FAILURE() << what << ": too slow to check the quiet between ticks";
        }
        Mark click = Click();
        EXPECT_TRUE(WaitForRefresh(click, ExpectedAfterStep(1).title)) << what << "\n"
                                                                       << Describe(Between(Changes(), click));
    }

    void ExpectExitWithoutTitleChange(Mark since) {
        auto exit = program_->child().WaitExit(10s);
        ASSERT_TRUE(exit) << "still running";
        EXPECT_EQ(exit->code, 0);
        EXPECT_EQ(exit->signal, 0);
        EXPECT_EQ(Describe(Between(Changes(), since)), "");
        EXPECT_EQ(program_->Stderr(), "");
    }

    Session session_;
    XClient x_{session_.display()};
    TempDir work_;
    std::unique_ptr<RunningProgram> program_;
    int clicks_ = 0;
};

TEST_F(ProgramTest, OpensA400By400WindowWithAnEmptyTitleThatBlinksEvery1300ms) {
    const auto found_after = std::chrono::steady_clock::now() - program_->child().started();
    Rect client = x_.Geometry(window());
    EXPECT_EQ(client.width, 400);
    EXPECT_EQ(client.height, 400);
    Rect frame = x_.Geometry(x_.Frame(window()));
    EXPECT_EQ(frame.x, 242);
    EXPECT_EQ(frame.y, 135);
    // The task bar shows the application, not the story.
    for (const auto& client : x_.Clients()) {
        if (client.window == window()) {
            EXPECT_EQ(client.wm_class, "Balloonstory");
        }
    }
    EXPECT_EQ(x_.IconName(window()), "Balloonstory");

    ASSERT_TRUE(titles().WaitFor(
        [](const auto& changes) {
            return std::ranges::count_if(changes, [](const auto& c) { return c.value.empty(); }) >= 5;
        },
        10s));
    auto changes = Changes();
    if (found_after < 1200ms) {
        EXPECT_EQ(changes.front().value, "");
        EXPECT_EQ(titles().Changes(TitleProperty::kWmName).front().value, "");
    }
    std::vector<unsigned long> blinks;
    for (std::size_t i = 0; i < changes.size(); ++i) {
        if (changes[i].time == 0) continue;
        if (!changes[i].value.empty()) {
            EXPECT_EQ(changes[i].value, story_table::Composed(" "));
            continue;
        }
        blinks.push_back(changes[i].time);
        if (i + 1 < changes.size()) {
            unsigned long gap = changes[i + 1].time - changes[i].time;
            EXPECT_GE(gap, kMinBlinkGap);
            EXPECT_LE(gap, kMaxBlinkGap);
        }
    }
    // The first tick comes one period after the timer was set up, not at once.
    ASSERT_GE(blinks.size(), 4u);
    EXPECT_GE(blinks[0] - program_->launched_at(), 1250u);
    for (std::size_t i = 1; i < blinks.size(); ++i) {
        unsigned long period = blinks[i] - blinks[i - 1];
        EXPECT_GE(period, 1200u) << "tick " << i;
        EXPECT_LE(period, 1700u) << "tick " << i;
    }
    EXPECT_NEAR(static_cast<double>(blinks.back() - blinks.front()) / (blinks.size() - 1), 1300, 100);
    EXPECT_TRUE(program_->child().Running());

    // Kept for people to look at, with the composed title in the frame.
    ASSERT_TRUE(WaitForRefresh(Now(), story_table::Composed(" ")));
    x_.Screenshot(window()).SavePng(ArtifactDir() / "window.png");
    x_.Screenshot(x_.Frame(window())).SavePng(ArtifactDir() / "window-frame.png");
}

// Checks what the title did between one click and the next.
void CheckStep(int step, const std::vector<TitleChange>& window) {
    SCOPED_TRACE("step " + std::to_string(step) + "\n" + Describe(window));
    ExpectedStep expected = ExpectedAfterStep(step);
    switch (expected.effect) {
        case StepEffect::kRefresh: {
            // A tick just before the click may still show the previous line once: the end
            // of its blink, or (when the line changes) the whole blink.
            std::size_t i = 0;
            const std::string previous = ExpectedAfterStep(step - 1).title;
            if (!window.empty() && !previous.empty() && window[0].value == previous) {
                i = 1;
            } else if (previous != expected.title && window.size() >= 2 && window[0].value.empty() &&
                       window[1].value == previous) {
                i = 2;
            }
            int refreshes = 0;
            for (; i + 1 < window.size(); i += 2) {
                EXPECT_EQ(window[i].value, "");
                EXPECT_EQ(window[i + 1].value, expected.title);
                ++refreshes;
            }
            // A tick just before the next click may have begun its blink: its line then
            // comes after that click, where the next step allows for it.
            if (i + 1 == window.size() && window[i].value.empty()) ++i;
            EXPECT_EQ(i, window.size()) << "unpaired title change";
            EXPECT_GE(refreshes, 1);
            break;
        }
        case StepEffect::kFrame:
            ASSERT_EQ(window.size(), 1u);
            EXPECT_EQ(window[0].value, expected.title);
            break;
        case StepEffect::kNothing:
        case StepEffect::kEnd:
            EXPECT_TRUE(window.empty());
            break;
    }
}

TEST_F(ProgramTest, TellsTheWholeStoryAndEndsAfterStep100) {
    std::vector<Mark> clicks(101);
    for (int step = 1; step <= story_table::kEndStep; ++step) {
        clicks[step] = Click();
        ExpectedStep expected = ExpectedAfterStep(step);
        if (expected.effect == StepEffect::kRefresh) {
            ASSERT_TRUE(WaitForRefresh(clicks[step], expected.title)) << "step " << step;
            EXPECT_TRUE(WmNameBecomes(expected.title)) << "step " << step;
        } else if (expected.effect == StepEffect::kFrame) {
            ASSERT_TRUE(WaitForTitle(clicks[step], expected.title)) << "step " << step;
            EXPECT_TRUE(WmNameBecomes(expected.title)) << "step " << step;
        } else if (expected.effect == StepEffect::kNothing) {
            // Longer than a tick: the timer has stopped as well.
            std::this_thread::sleep_for(1600ms);
        }
    }
    ExpectExitWithoutTitleChange(clicks[story_table::kEndStep]);

    auto changes = Changes();
    for (int step = 1; step < story_table::kEndStep; ++step)
        CheckStep(step, Between(changes, clicks[step], clicks[step + 1].seen));
    // Every composed title follows an empty one by the pause of the refresh.
    for (std::size_t i = 1; i < changes.size(); ++i) {
        if (changes[i].time == 0 || i >= clicks[story_table::kFirstFrameStep].seen || changes[i].value.empty())
            continue;
        SCOPED_TRACE(Describe({changes[i - 1], changes[i]}));
        EXPECT_EQ(changes[i - 1].value, "");
        EXPECT_GE(changes[i].time - changes[i - 1].time, kMinBlinkGap);
        EXPECT_LE(changes[i].time - changes[i - 1].time, kMaxBlinkGap);
    }
}

TEST_F(ProgramTest, ADoubleClickTakesOneStep) {
    AfterTick();
    Mark before = Now();
    x_.DoubleClick(window(), 200, 200);
    ASSERT_TRUE(WaitForRefresh(before, ExpectedAfterStep(1).title));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(Between(Changes(), before).size(), 2u) << Describe(Between(Changes(), before));
    Mark click = Click();
    EXPECT_TRUE(WaitForRefresh(click, ExpectedAfterStep(2).title)) << Describe(Between(Changes(), click));
}

TEST_F(ProgramTest, AClickDuringThePauseIsTakenAfterIt) {
    AfterTick();
    std::size_t seen = titles().Raw().size();
    Mark before = Click();
    // Once the title is empty the first click's refresh is pausing: click again then.
    ASSERT_TRUE(titles().WaitFor(
        [&](const std::vector<TitleChange>& changes) {
            return changes.size() > before.seen && changes.back().value.empty();
        },
        5s));
    Click();
    ASSERT_TRUE(WaitForRefresh(before, ExpectedAfterStep(2).title)) << Describe(Between(Changes(), before));
    std::this_thread::sleep_for(200ms);
    // The composed title of the first click stands only for a moment, so only the
    // times of the notifications tell the two refreshes apart.
    std::vector<TitleChange> notes;
    auto raw = titles().Raw();
    for (std::size_t i = seen; i < raw.size(); ++i)
        if (raw[i].property == TitleProperty::kNetWmName) notes.push_back(raw[i]);
    SCOPED_TRACE(Describe(notes));
    ASSERT_EQ(notes.size(), 4u);
    EXPECT_EQ(notes[0].value, "");
    EXPECT_GE(notes[1].time - notes[0].time, kMinBlinkGap);
    EXPECT_GE(notes[2].time, notes[1].time);
    EXPECT_GE(notes[3].time - notes[2].time, kMinBlinkGap);
    EXPECT_EQ(notes[3].value, ExpectedAfterStep(2).title);
}

TEST_F(ProgramTest, RightAndMiddleClicksAndKeysDoNothing) {
    ExpectIgnored(
        [&] {
            x_.Click(window(), 100, 100, kRight);
            x_.Click(window(), 300, 300, kMiddle);
            x_.Keys({"a"});
            x_.Keys({"Return"});
            x_.Keys({"space"});
        },
        "right, middle, keys");
}

TEST_F(ProgramTest, PressInsideAndReleaseOutsideDoesNothing) {
    ExpectIgnored(
        [&] {
            x_.MoveTo(window(), 200, 200);
            x_.Press();
            x_.MoveTo(window(), 550, 200);
            x_.Release();
        },
        "press inside, release outside");
}

TEST_F(ProgramTest, AMaximiseRequestLeavesTheClientArea400By400) {
    x_.RequestMaximize(window());
    std::this_thread::sleep_for(1s);
    Rect client = x_.Geometry(window());
    EXPECT_EQ(client.width, 400);
    EXPECT_EQ(client.height, 400);
    Mark click = Click();
    EXPECT_TRUE(WaitForRefresh(click, ExpectedAfterStep(1).title));
}

TEST_F(ProgramTest, AMinimisedWindowGoesOnBlinking) {
    x_.RequestMinimize(window());
    for (int i = 0; i < 100 && x_.Viewable(window()); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_FALSE(x_.Viewable(window()));
    Mark minimised = Now();
    EXPECT_TRUE(WaitForRefresh(minimised, story_table::Composed(" "), 3s));
    EXPECT_TRUE(WaitForRefresh(Now(), story_table::Composed(" "), 3s));
    EXPECT_FALSE(x_.Viewable(window()));
}

TEST_F(ProgramTest, ClosingTheWindowAtStep40EndsWithExitCode0) {
    for (int step = 1; step <= 40; ++step) {
        Mark click = Click();
        ASSERT_TRUE(WaitForRefresh(click, ExpectedAfterStep(step).title)) << "step " << step;
    }
    Mark before = Now();
    x_.RequestClose(window());
    ExpectExitWithoutTitleChange(before);
}

TEST_F(ProgramTest, AltF4EndsWithExitCode0) {
    Mark click = Click();
    ASSERT_TRUE(WaitForRefresh(click, ExpectedAfterStep(1).title));
    Mark before = Now();
    x_.Keys({"Alt_L", "F4"});
    ExpectExitWithoutTitleChange(before);
}

}  // namespace
}  // namespace e2e
