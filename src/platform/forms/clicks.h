// When a press and release of the left button make a click on a control.
#pragma once

#include <cstdint>

namespace platform {

struct DoubleClickLimits {
    int interval_ms = 400;
    int distance = 5;  // per axis, pixels
};

class ClickTracker {
public:
    // A left-button press at (x, y) in control coordinates, at the event's time. The
    // second press of a double-click (the first press counted as a fresh one) arms
    // nothing, so the pair makes one click only.
    void Press(int x, int y, std::uint64_t time_ms, DoubleClickLimits limits);
    // The left-button release; true when it completes a click.
    bool Release(bool inside_control);

private:
    bool armed_ = false;
    bool have_first_ = false;
    int first_x_ = 0;
    int first_y_ = 0;
    std::uint64_t first_time_ = 0;
};

}  // namespace platform
