// Watches a program's start from outside, by X events only: the moment its window
// becomes viewable (the MapNotify that completes it) and the moment something is first
// drawn into it (the first XDamage report on the window). Times are of arrival here.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <set>
#include <string>

struct _XDisplay;

namespace bench {

struct StartTimes {
    double mapped_ms = 0;
    std::optional<double> painted_ms;  // none when nothing was drawn before the timeout
};

class StartWatch {
public:
    explicit StartWatch(const std::string& display_name);
    ~StartWatch();
    StartWatch(const StartWatch&) = delete;
    StartWatch& operator=(const StartWatch&) = delete;

    // Forgets what happened so far: call just before starting the program.
    void Reset();
    // Waits until a window of `pid` is viewable and drawn into; nothing when no window of
    // it became viewable in time.
    std::optional<StartTimes> Wait(pid_t pid, std::chrono::steady_clock::time_point started,
                                   std::chrono::milliseconds timeout);

private:
    pid_t PidOf(unsigned long window);
    bool Viewable(unsigned long window);

    _XDisplay* display_ = nullptr;
    int damage_event_ = 0;
    std::set<unsigned long> created_;
};

}  // namespace bench
