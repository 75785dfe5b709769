#include "title_observer.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <unistd.h>

#include <stdexcept>

namespace e2e {

std::vector<TitleChange> Collapse(const std::vector<TitleChange>& raw, TitleProperty property) {
    std::vector<TitleChange> out;
    for (const auto& change : raw) {
        if (change.property != property) continue;
        // The value found at the start is no change: the first real one is always kept.
        if (!out.empty() && out.back().time != 0 && out.back().value == change.value) continue;
        out.push_back(change);
    }
    return out;
}

TitleObserver::TitleObserver(const std::string& display_name, WindowId window) : window_(window) {
    InstallQuietXErrorHandler();
    display_ = XOpenDisplay(display_name.c_str());
    if (!display_) throw std::runtime_error("cannot open display " + display_name);
    net_wm_name_ = XInternAtom(display_, "_NET_WM_NAME", False);
    wm_name_ = XA_WM_NAME;
    // Select first, then read: a change between the two is seen twice, never missed.
    XSelectInput(display_, window_, PropertyChangeMask | StructureNotifyMask);
    XSync(display_, False);
    Record(0, net_wm_name_);
    Record(0, wm_name_);
    if (pipe(wake_) != 0) {
        XCloseDisplay(display_);
        throw std::runtime_error("pipe failed");
    }
    thread_ = std::thread(&TitleObserver::Run, this);
}

TitleObserver::~TitleObserver() {
    char c = 0;
    [[maybe_unused]] auto n = write(wake_[1], &c, 1);
    thread_.join();
    close(wake_[0]);
    close(wake_[1]);
    XCloseDisplay(display_);
}

void TitleObserver::Record(unsigned long time, unsigned long atom) {
    TitleChange change;
    change.time = time;
    change.received = std::chrono::steady_clock::now();
    change.property = atom == net_wm_name_ ? TitleProperty::kNetWmName : TitleProperty::kWmName;
    change.value = ReadTextProperty(display_, window_, atom);
    {
        std::lock_guard lock(mutex_);
        raw_.push_back(std::move(change));
    }
    changed_.notify_all();
}

void TitleObserver::Run() {
    pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {wake_[0], POLLIN, 0}};
    for (;;) {
        while (XPending(display_)) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == PropertyNotify &&
                (event.xproperty.atom == net_wm_name_ || event.xproperty.atom == wm_name_)) {
                Record(event.xproperty.time, event.xproperty.atom);
            } else if (event.type == DestroyNotify && event.xdestroywindow.window == window_) {
                {
                    std::lock_guard lock(mutex_);
                    destroyed_ = true;
                }
                changed_.notify_all();
            }
        }
        if (poll(fds, 2, 100) > 0 && (fds[1].revents & POLLIN)) return;
    }
}

std::vector<TitleChange> TitleObserver::Raw() const {
    std::lock_guard lock(mutex_);
    return raw_;
}

std::vector<TitleChange> TitleObserver::Changes(TitleProperty property) const { return Collapse(Raw(), property); }

bool TitleObserver::WaitFor(const std::function<bool(const std::vector<TitleChange>&)>& done,
                            std::chrono::milliseconds timeout, TitleProperty property) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return done(Collapse(raw_, property)); });
}

bool TitleObserver::WindowDestroyed() const {
    std::lock_guard lock(mutex_);
    return destroyed_;
}

}  // namespace e2e
