#include "platform/forms/timer.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>
#include <thread>

#include "platform/exception.h"
#include "platform/forms/application.h"

namespace {

void RunEventsFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

TEST(Timer, TicksWhileEnabledAndStopsForGood) {
    platform::TTimer timer(nullptr);
    int ticks = 0;
    timer.SetInterval(20);
    EXPECT_FALSE(timer.Active()) << "no handler, nothing to count for";
    timer.SetOnTimer([&](platform::TObject* sender) {
        EXPECT_EQ(sender, &timer);
        ++ticks;
    });
    EXPECT_TRUE(timer.Active());
    RunEventsFor(200);
    EXPECT_GE(ticks, 3);
    timer.SetEnabled(false);
    const int at_stop = ticks;
    RunEventsFor(100);
    EXPECT_EQ(ticks, at_stop);
    EXPECT_FALSE(timer.Active());
}

TEST(Timer, ErrorsFromTheHandlerReachTheApplication) {
    platform::TApplication application("timer");
    std::vector<std::string> messages;
    application.OnException = [&](const std::string& m) { messages.push_back(m); };
    platform::TTimer timer(nullptr);
    timer.SetInterval(10);
    timer.SetOnTimer([&](platform::TObject*) {
        timer.SetEnabled(false);
        throw platform::Exception("tick failed");
    });
    RunEventsFor(100);
    EXPECT_EQ(messages, std::vector<std::string>{"tick failed"});
}

// A thread without an event loop has no timer service; the timer says so.
TEST(Timer, NoSystemTimerIsAnError) {
    std::string error;
    std::thread([&] {
        platform::TTimer timer(nullptr);
        timer.SetInterval(1300);
        try {
            timer.SetOnTimer([](platform::TObject*) {});
        } catch (const platform::Exception& e) {
            error = e.what();
        }
        EXPECT_FALSE(timer.Active());
    }).join();
    EXPECT_EQ(error, "タイマーを取得できません");
}

}  // namespace
