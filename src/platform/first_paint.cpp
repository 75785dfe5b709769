#include "platform/first_paint.h"

#include <condition_variable>
#include <mutex>

namespace platform {
namespace {

struct Hold {
    std::mutex mutex;
    std::condition_variable released;
    bool held = false;
};

Hold& TheHold() {
    static Hold hold;
    return hold;
}

}  // namespace

void HoldUntilFirstPaint() {
    std::lock_guard lock(TheHold().mutex);
    TheHold().held = true;
}

void FirstPaintDone() {
    std::lock_guard lock(TheHold().mutex);
    TheHold().held = false;
    TheHold().released.notify_all();
}

void WaitForFirstPaint(std::chrono::milliseconds limit) {
    std::unique_lock lock(TheHold().mutex);
    TheHold().released.wait_for(lock, limit, [] { return !TheHold().held; });
}

}  // namespace platform
