#include "start_watch.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>

#include <stdexcept>

#include "xclient.h"

namespace bench {

StartWatch::StartWatch(const std::string& display_name) {
    e2e::InstallQuietXErrorHandler();
    display_ = XOpenDisplay(display_name.c_str());
    if (!display_) throw std::runtime_error("cannot open display " + display_name);
    int error_base = 0;
    if (!XDamageQueryExtension(display_, &damage_event_, &error_base)) {
        throw std::runtime_error("the X server has no DAMAGE extension");
    }
    // New top-level windows and the window manager's frames are children of the root.
    XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
    XSync(display_, False);
}

StartWatch::~StartWatch() { XCloseDisplay(display_); }

void StartWatch::Reset() {
    XSync(display_, True);
    created_.clear();
}

pid_t StartWatch::PidOf(unsigned long window) {
    ::Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    pid_t pid = 0;
    const ::Atom net_wm_pid = XInternAtom(display_, "_NET_WM_PID", False);
    if (XGetWindowProperty(display_, window, net_wm_pid, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) == Success &&
        data && format == 32 && count == 1) {
        pid = static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data));
    }
    if (data) XFree(data);
    return pid;
}

bool StartWatch::Viewable(unsigned long window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display_, window, &attributes) && attributes.map_state == IsViewable;
}

std::optional<StartTimes> StartWatch::Wait(pid_t pid, std::chrono::steady_clock::time_point started,
                                           std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    auto since_start = [&] { return std::chrono::duration<double, std::milli>(Clock::now() - started).count(); };
    const auto deadline = Clock::now() + timeout;
    std::optional<double> mapped, painted;
    unsigned long window = 0;
    while (!(mapped && painted)) {
        if (XPending(display_) == 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) break;
            pollfd fd{ConnectionNumber(display_), POLLIN, 0};
            poll(&fd, 1, static_cast<int>(left.count()));
            continue;
        }
        XEvent event;
        XNextEvent(display_, &event);
        const double at = since_start();
        if (event.type == CreateNotify && !event.xcreatewindow.override_redirect) {
            // Follow every new top-level window: its own map and everything drawn into it.
            const unsigned long created = event.xcreatewindow.window;
            created_.insert(created);
            XSelectInput(display_, created, StructureNotifyMask);
            XDamageCreate(display_, created, XDamageReportNonEmpty);
        } else if (event.type == MapNotify && !mapped) {
            // Viewable needs both the client and the window manager's frame mapped; the
            // later of the two maps is the moment.
            for (unsigned long candidate : created_) {
                if (PidOf(candidate) == pid && Viewable(candidate)) {
                    mapped = at;
                    window = candidate;
                    break;
                }
            }
        } else if (event.type == damage_event_ + XDamageNotify) {
            const auto* damage = reinterpret_cast<const XDamageNotifyEvent*>(&event);
            if (!painted && mapped && damage->drawable == window) painted = at;
        }
    }
    if (!mapped) return std::nullopt;
    return StartTimes{*mapped, painted};
}

}  // namespace bench
