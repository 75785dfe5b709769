#include "platform/forms/clicks.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleHints>
#include <memory>
#include <vector>

#include "test_form.h"

namespace {

enum class Kind { Press, Release, DoubleClick, Key };

struct Input {
    Kind kind;
    Qt::MouseButton button = Qt::LeftButton;
    QPoint pos{100, 100};
    qint64 time = 0;  // ms after the first event
};

Input Press(QPoint pos, qint64 time, Qt::MouseButton b = Qt::LeftButton) { return {Kind::Press, b, pos, time}; }
Input Release(QPoint pos, qint64 time, Qt::MouseButton b = Qt::LeftButton) { return {Kind::Release, b, pos, time}; }
Input DoubleClick(QPoint pos, qint64 time) { return {Kind::DoubleClick, Qt::LeftButton, pos, time}; }

// Sends the events as Qt delivers them from the window system to Image1; returns the clicks.
int Clicks(const std::vector<Input>& inputs) {
    TTestForm form;
    form.ReadDescription(TestDescription());
    const ulong base = 1'000'000;
    for (const Input& in : inputs) {
        if (in.kind == Kind::Key) {
            QKeyEvent key(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
            QCoreApplication::sendEvent(form.Image1, &key);
            continue;
        }
        const QEvent::Type type = in.kind == Kind::Press     ? QEvent::MouseButtonPress
                                  : in.kind == Kind::Release ? QEvent::MouseButtonRelease
                                                             : QEvent::MouseButtonDblClick;
        const Qt::MouseButtons held = in.kind == Kind::Release ? Qt::NoButton : Qt::MouseButtons(in.button);
        QMouseEvent event(type, QPointF(in.pos), QPointF(in.pos), QPointF(in.pos), in.button, held, Qt::NoModifier);
        event.setTimestamp(base + static_cast<ulong>(in.time));
        QCoreApplication::sendEvent(form.Image1, &event);
    }
    return form.clicks;
}

TEST(Clicks, PressAndReleaseCombinations) {
    const int interval = QGuiApplication::styleHints()->mouseDoubleClickInterval();
    const int distance = QGuiApplication::styleHints()->mouseDoubleClickDistance();
    const QPoint a(100, 100), b(300, 300);
    const struct {
        const char* name;
        std::vector<Input> inputs;
        int clicks;
    } cases[] = {
        {"left press and release inside", {Press(a, 0), Release(a, 50)}, 1},
        {"release elsewhere inside the picture", {Press(a, 0), Release(b, 50)}, 1},
        {"release on the last pixel", {Press(a, 0), Release({399, 399}, 50)}, 1},
        {"release just outside", {Press(a, 0), Release({400, 200}, 50)}, 0},
        {"release far outside the window", {Press(a, 0), Release({-50, 900}, 50)}, 0},
        {"release without press", {Release(a, 0)}, 0},
        {"right button", {Press(a, 0, Qt::RightButton), Release(a, 50, Qt::RightButton)}, 0},
        {"middle button", {Press(a, 0, Qt::MiddleButton), Release(a, 50, Qt::MiddleButton)}, 0},
        {"right release does not end a left press", {Press(a, 0), Release(a, 20, Qt::RightButton), Release(a, 50)}, 1},
        {"key press", {{Kind::Key}}, 0},
        {"double-click gives one click",
         {Press(a, 0), Release(a, 50), Press(a, 100), DoubleClick(a, 100), Release(a, 150)},
         1},
        {"second press within the distance",
         {Press(a, 0), Release(a, 50), Press(a + QPoint(distance, -distance), 100), Release(a, 150)},
         1},
        {"second press beyond the distance",
         {Press(a, 0), Release(a, 50), Press(a + QPoint(distance + 1, 0), 100), Release(a, 150)},
         2},
        {"second press after the double-click time",
         {Press(a, 0), Release(a, 50), Press(a, interval), Release(a, interval + 50)},
         2},
        {"far apart points, fast", {Press(a, 0), Release(a, 30), Press(b, 60), Release(b, 90)}, 2},
        {"third press of a triple click starts afresh",
         {Press(a, 0), Release(a, 30), Press(a, 60), Release(a, 90), Press(a, 120), Release(a, 150)},
         2},
        {"first half released outside still pairs with the second",
         {Press(a, 0), Release({500, 100}, 30), Press(a, 60), Release(a, 90)},
         0},
    };
    for (const auto& c : cases) EXPECT_EQ(Clicks(c.inputs), c.clicks) << c.name;
}

TEST(Clicks, TrackerUsesTheGivenLimits) {
    platform::ClickTracker tracker;
    const platform::DoubleClickLimits limits{200, 2};
    tracker.Press(10, 10, 1000, limits);
    EXPECT_TRUE(tracker.Release(true));
    tracker.Press(12, 8, 1199, limits);  // within 200 ms and 2 px
    EXPECT_FALSE(tracker.Release(true));
    tracker.Press(12, 8, 1300, limits);
    EXPECT_TRUE(tracker.Release(true));
    tracker.Press(12, 8, 1500, limits);  // exactly the interval later: a new first press
    EXPECT_TRUE(tracker.Release(true));
}

}  // namespace
