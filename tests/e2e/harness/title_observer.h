// Records every change of a window's titles (_NET_WM_NAME and WM_NAME) as the X
// server reports it: the server's timestamp of the PropertyNotify and the new value
// in UTF-8. Runs on its own X connection and thread, so it sees changes while the
// test drives the window. The notifications and their times are exact; the value is
// read when a notification arrives, so of two changes a millisecond apart both may
// show the later value.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "xclient.h"

namespace e2e {

enum class TitleProperty { kNetWmName, kWmName };

struct TitleChange {
    unsigned long time = 0;  // X server milliseconds; 0 for the value found at the start
    TitleProperty property = TitleProperty::kNetWmName;
    std::string value;  // UTF-8; empty also when the property was deleted
    // When the notification reached us. The server's timestamp is the time of its last
    // clock update, which lags while it is kept busy; this one does not.
    std::chrono::steady_clock::time_point received;
};

class TitleObserver {
public:
    TitleObserver(const std::string& display_name, WindowId window);
    ~TitleObserver();
    TitleObserver(const TitleObserver&) = delete;
    TitleObserver& operator=(const TitleObserver&) = delete;

    // Every notification of both properties, in order.
    std::vector<TitleChange> Raw() const;
    // The values one property went through, a repeated value counted once: what a
    // person watching the title bar could see change.
    std::vector<TitleChange> Changes(TitleProperty property = TitleProperty::kNetWmName) const;
    // Waits until `done` holds for Changes(property); false on timeout.
    bool WaitFor(const std::function<bool(const std::vector<TitleChange>&)>& done, std::chrono::milliseconds timeout,
                 TitleProperty property = TitleProperty::kNetWmName) const;
    bool WindowDestroyed() const;

private:
    void Run();
    void Record(unsigned long time, unsigned long atom);

    _XDisplay* display_ = nullptr;
    WindowId window_;
    unsigned long net_wm_name_ = 0;
    unsigned long wm_name_ = 0;
    int wake_[2] = {-1, -1};

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<TitleChange> raw_;
    bool destroyed_ = false;
    std::thread thread_;
};

// Titles that are the same as the one before them (per property) are dropped, except
// the first change after the value found at the start.
std::vector<TitleChange> Collapse(const std::vector<TitleChange>& raw, TitleProperty property);

}  // namespace e2e
