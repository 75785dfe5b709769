// The harness against a small Qt window of our own whose title reports what reached it.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <csignal>
#include <thread>

#include "session.h"
#include "title_observer.h"
#include "xclient.h"

namespace e2e {

WindowId MakeSolidWindow(XClient& x, Rgb colour, int width, int height);

namespace {

using namespace std::chrono_literals;

struct Fixture {
    explicit Fixture(const std::vector<std::string>& args = {})
        : x(session.display()), child(session.Launch(FIXTURE_WINDOW, session.dir(), {}, args)) {
        auto found = x.WaitForClient(child->pid(), 15s);
        if (!found) throw std::runtime_error("fixture window did not appear");
        window = *found;
    }
    Session session;
    XClient x;
    std::unique_ptr<Child> child;
    WindowId window = 0;
};

bool TitleIs(const TitleObserver& titles, const std::string& expected) {
    return titles.WaitFor([&](const auto& changes) { return changes.back().value == expected; }, 5s);
}

bool TitleWas(const TitleObserver& titles, const std::string& expected) {
    return titles.WaitFor(
        [&](const auto& changes) {
            return std::ranges::any_of(changes, [&](const auto& c) { return c.value == expected; });
        },
        5s);
}

TEST(Harness, FindsTheClientAreaAndItsPixels) {
    Fixture f;
    Rect rect = f.x.Geometry(f.window);
    EXPECT_EQ(rect.width, 400);
    EXPECT_EQ(rect.height, 400);
    ASSERT_TRUE(TitleIs(TitleObserver(f.session.display(), f.window), "fixture"));
    std::this_thread::sleep_for(300ms);  // first paint
    Image shot = f.x.Screenshot(f.window);
    ASSERT_EQ(shot.width, 400);
    ASSERT_EQ(shot.height, 400);
    struct {
        int x, y;
        Rgb colour;
    } cases[] = {{0, 0, {255, 0, 0}},
                 {199, 199, {255, 0, 0}},
                 {200, 0, {0, 255, 0}},
                 {0, 200, {0, 0, 255}},
                 {399, 399, {255, 255, 255}}};
    for (const auto& c : cases) EXPECT_EQ(shot.Pixel(c.x, c.y), c.colour) << c.x << "," << c.y;

    auto path = ArtifactDir() / "harness-fixture.png";
    shot.SavePng(path);
    QImage saved(QString::fromStdString(path.string()));
    ASSERT_EQ(saved.width(), 400);
    EXPECT_EQ(saved.pixelColor(200, 0), QColor(0, 255, 0));
}

TEST(Harness, InputArrivesAtClientPointsAfterTheServerTimeBeforeIt) {
    Fixture f;
    TitleObserver titles(f.session.display(), f.window);
    struct {
        Button button;
        int x, y;
        const char* title;
    } cases[] = {
        {kLeft, 10, 20, "release 1 10 20"},
        {kRight, 390, 380, "release 2 390 380"},
        {kMiddle, 200, 100, "release 4 200 100"},
    };
    for (const auto& c : cases) {
        unsigned long before = f.x.ServerTime();
        f.x.Click(f.window, c.x, c.y, c.button);
        ASSERT_TRUE(TitleIs(titles, c.title)) << c.title;
        EXPECT_GE(titles.Changes().back().time, before) << c.title;
    }
    f.x.DoubleClick(f.window, 300, 50);
    EXPECT_TRUE(TitleWas(titles, "double 300 50"));
    f.x.Keys({"a"});
    EXPECT_TRUE(TitleIs(titles, "key a"));
}

TEST(Harness, RecordsBothTitlePropertiesFromTheirStartingValue) {
    Fixture f;
    TitleObserver titles(f.session.display(), f.window);
    for (auto property : {TitleProperty::kNetWmName, TitleProperty::kWmName}) {
        auto changes = titles.Changes(property);
        ASSERT_FALSE(changes.empty());
        EXPECT_EQ(changes.front().time, 0u);
        EXPECT_EQ(changes.front().value, "fixture");
    }
    f.x.Click(f.window, 5, 5);
    EXPECT_TRUE(
        titles.WaitFor([](const auto& c) { return c.back().value == "release 1 5 5"; }, 5s, TitleProperty::kWmName));
}

TEST(Harness, ReportsExitCodeAndPeakMemory) {
    Fixture f;
    EXPECT_FALSE(f.child->WaitExit(100ms));
    f.x.Keys({"e"});
    auto exit = f.child->WaitExit(10s);
    ASSERT_TRUE(exit);
    EXPECT_EQ(exit->code, 7);
    EXPECT_EQ(exit->signal, 0);
    EXPECT_GT(exit->max_rss_kib, 1024);
}

TEST(Harness, AsksTheWindowManagerToMaximiseAndToClose) {
    Fixture f({"resizable"});
    f.x.RequestMaximize(f.window);
    for (int i = 0; i < 200 && f.x.Geometry(f.window).width == 400; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_GT(f.x.Geometry(f.window).width, 900);
    f.x.RequestClose(f.window);
    auto exit = f.child->WaitExit(10s);
    ASSERT_TRUE(exit);
    EXPECT_EQ(exit->code, 0);
}

TEST(Harness, LeavesNoServerOrProgramBehind) {
    std::string socket;
    pid_t program = 0;
    {
        Fixture f;
        socket = "/tmp/.X11-unix/X" + f.session.display().substr(1);
        program = f.child->pid();
        EXPECT_TRUE(std::filesystem::exists(socket));
    }
    EXPECT_FALSE(std::filesystem::exists(socket));
    EXPECT_NE(kill(program, 0), 0);
}

TEST(Harness, ReadsPixelsOfAPaletteScreen) {
    Session session({.depth = 8});
    XClient x(session.display());
    ASSERT_EQ(x.ScreenDepth(), 8);
    WindowId window = MakeSolidWindow(x, {0xff, 0x80, 0x10}, 64, 32);
    std::this_thread::sleep_for(100ms);
    Image shot = x.Screenshot(window);
    EXPECT_EQ(shot.width, 64);
    EXPECT_EQ(shot.Pixel(10, 10), (Rgb{0xff, 0x80, 0x10}));
}

}  // namespace
}  // namespace e2e
