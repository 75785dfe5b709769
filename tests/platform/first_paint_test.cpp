// The hold that keeps background work back until the window's first paint.
#include "platform/first_paint.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(FirstPaint, WaitingReturnsAtOnceWhenNothingHolds) {
    const auto started = Clock::now();
    WaitForFirstPaint(10s);
    EXPECT_LT(Clock::now() - started, 5s);
}

TEST(FirstPaint, WorkWaitsForThePaintAndNoLongerThanItsLimit) {
    struct Case {
        const char* what;
        bool paint;
    } cases[] = {{"released by the paint", true}, {"released by the limit", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HoldUntilFirstPaint();
        std::atomic<bool> through{false};
        std::thread worker([&] {
            WaitForFirstPaint(c.paint ? 60s : 300ms);
            through = true;
        });
        std::this_thread::sleep_for(100ms);
        EXPECT_FALSE(through);
        if (c.paint) FirstPaintDone();
        worker.join();
        EXPECT_TRUE(through);
        FirstPaintDone();
    }
}

}  // namespace
}  // namespace platform
