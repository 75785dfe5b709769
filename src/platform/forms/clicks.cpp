// Supports: left-button click detection with double-click suppression.
#include "platform/forms/clicks.h"

#include <cstdlib>

namespace platform {

void ClickTracker::Press(int x, int y, std::uint64_t time_ms, DoubleClickLimits limits) {
    const bool second = have_first_ && time_ms >= first_time_ &&
                        time_ms - first_time_ < static_cast<std::uint64_t>(limits.interval_ms) &&
                        std::abs(x - first_x_) <= limits.distance && std::abs(y - first_y_) <= limits.distance;
    if (second) {
        // A third press starts afresh rather than pairing with this one.
        have_first_ = false;
        armed_ = false;
        return;
    }
    have_first_ = true;
    first_x_ = x;
    first_y_ = y;
    first_time_ = time_ms;
    armed_ = true;
}

bool ClickTracker::Release(bool inside_control) {
    const bool click = armed_ && inside_control;
    armed_ = false;
    return click;
}

}  // namespace platform
