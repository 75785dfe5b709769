#include "xclient.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <clocale>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace e2e {
namespace {

int IgnoreXError(Display*, XErrorEvent*) { return 0; }

std::vector<unsigned long> WindowListProperty(Display* display, Window window, ::Atom property) {
    ::Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::vector<unsigned long> out;
    if (XGetWindowProperty(display, window, property, 0, 65536, False, AnyPropertyType, &type, &format, &count, &after,
                           &data) == Success &&
        data && format == 32) {
        auto* values = reinterpret_cast<unsigned long*>(data);
        out.assign(values, values + count);
    }
    if (data) XFree(data);
    return out;
}

std::string Latin1ToUtf8(const unsigned char* bytes, unsigned long count) {
    std::string out;
    for (unsigned long i = 0; i < count; ++i) {
        unsigned char c = bytes[i];
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace

void InstallQuietXErrorHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        XInitThreads();
        // COMPOUND_TEXT titles are converted through the locale.
        std::setlocale(LC_CTYPE, "C.UTF-8");
        XSetErrorHandler(IgnoreXError);
    });
}

std::string ReadTextProperty(Display* display, WindowId window, unsigned long property) {
    ::Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string out;
    if (XGetWindowProperty(display, window, property, 0, 1 << 20, False, AnyPropertyType, &type, &format, &count,
                           &after, &data) != Success ||
        !data) {
        return out;
    }
    if (type == XInternAtom(display, "UTF8_STRING", False)) {
        out.assign(reinterpret_cast<char*>(data), count);
    } else if (type == XA_STRING) {
        out = Latin1ToUtf8(data, count);
    } else if (type == XInternAtom(display, "COMPOUND_TEXT", False)) {
        XTextProperty text{data, type, format, count};
        char** list = nullptr;
        int n = 0;
        if (Xutf8TextPropertyToTextList(display, &text, &list, &n) >= Success && list) {
            for (int i = 0; i < n; ++i) out += list[i];
            XFreeStringList(list);
        }
    }
    XFree(data);
    return out;
}

XClient::XClient(const std::string& display_name) {
    InstallQuietXErrorHandler();
    display_ = XOpenDisplay(display_name.c_str());
    if (!display_) throw std::runtime_error("cannot open display " + display_name);
    int event, error, major, minor;
    if (!XTestQueryExtension(display_, &event, &error, &major, &minor)) {
        XCloseDisplay(display_);
        throw std::runtime_error("the X server has no XTEST extension");
    }
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    clock_window_ = XCreateWindow(display_, DefaultRootWindow(display_), -10, -10, 1, 1, 0, 0, InputOnly,
                                  CopyFromParent, CWEventMask, &attributes);
    XSync(display_, False);
}

XClient::~XClient() {
    XDestroyWindow(display_, clock_window_);
    XCloseDisplay(display_);
}

unsigned long XClient::Intern(const char* name) { return XInternAtom(display_, name, False); }

namespace {

// Clients by the state the window manager puts on them, for window managers that keep
// no client list (weston's): the windows it manages sit at most one frame below the root.
std::vector<unsigned long> StatedWindows(Display* display, ::Atom wm_state) {
    std::vector<unsigned long> found;
    auto children = [&](Window parent) {
        Window root, returned_parent;
        Window* list = nullptr;
        unsigned count = 0;
        std::vector<Window> out;
        if (XQueryTree(display, parent, &root, &returned_parent, &list, &count) && list) out.assign(list, list + count);
        if (list) XFree(list);
        return out;
    };
    auto stated = [&](Window window) {
        int count = 0;
        ::Atom* properties = XListProperties(display, window, &count);
        const bool has = properties && std::find(properties, properties + count, wm_state) != properties + count;
        if (properties) XFree(properties);
        return has;
    };
    for (Window top : children(DefaultRootWindow(display))) {
        if (stated(top)) {
            found.push_back(top);
            continue;
        }
        for (Window inner : children(top))
            if (stated(inner)) found.push_back(inner);
    }
    return found;
}

}  // namespace

std::vector<ClientInfo> XClient::Clients() {
    std::vector<ClientInfo> clients;
    const Window root = DefaultRootWindow(display_);
    const auto supported = WindowListProperty(display_, root, Intern("_NET_SUPPORTED"));
    const bool listed = std::ranges::find(supported, Intern("_NET_CLIENT_LIST")) != supported.end();
    const auto windows = listed ? WindowListProperty(display_, root, Intern("_NET_CLIENT_LIST"))
                                : StatedWindows(display_, Intern("WM_STATE"));
    for (auto window : windows) {
        ClientInfo info;
        info.window = window;
        auto pid = WindowListProperty(display_, window, Intern("_NET_WM_PID"));
        if (!pid.empty()) info.pid = static_cast<pid_t>(pid[0]);
        info.title = Title(window);
        XClassHint hint{};
        if (XGetClassHint(display_, window, &hint)) {
            if (hint.res_class) info.wm_class = hint.res_class;
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
        clients.push_back(std::move(info));
    }
    return clients;
}

std::optional<WindowId> XClient::WaitForClient(pid_t pid, std::chrono::milliseconds timeout,
                                               const std::function<bool(const ClientInfo&)>& accept) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        for (const auto& client : Clients()) {
            if (client.pid == pid && (!accept || accept(client))) return client.window;
        }
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool XClient::Exists(WindowId window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display_, window, &attributes) != 0;
}

bool XClient::Viewable(WindowId window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display_, window, &attributes) && attributes.map_state == IsViewable;
}

Rect XClient::Geometry(WindowId window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, window, &attributes)) throw std::runtime_error("window has gone");
    Window child;
    Rect rect{0, 0, attributes.width, attributes.height};
    XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &rect.x, &rect.y, &child);
    return rect;
}

WindowId XClient::Frame(WindowId window) {
    Window root = DefaultRootWindow(display_);
    Window current = window;
    for (;;) {
        Window parent = 0, returned_root = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display_, current, &returned_root, &parent, &children, &count)) break;
        if (children) XFree(children);
        if (parent == root || parent == 0) break;
        current = parent;
    }
    return current;
}

std::string XClient::Title(WindowId window) { return ReadTextProperty(display_, window, Intern("_NET_WM_NAME")); }

std::string XClient::WmName(WindowId window) { return ReadTextProperty(display_, window, XA_WM_NAME); }

std::string XClient::IconName(WindowId window) {
    return ReadTextProperty(display_, window, Intern("_NET_WM_ICON_NAME"));
}

WindowId XClient::Focus() {
    Window focus;
    int revert;
    XGetInputFocus(display_, &focus, &revert);
    return focus;
}

int XClient::ScreenDepth() { return DefaultDepth(display_, DefaultScreen(display_)); }

Image XClient::Screenshot(WindowId window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, window, &attributes)) throw std::runtime_error("window has gone");
    XImage* ximage = XGetImage(display_, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!ximage) throw std::runtime_error("XGetImage failed");
    Image image;
    image.width = attributes.width;
    image.height = attributes.height;
    image.rgb.resize(static_cast<std::size_t>(image.width) * image.height * 3);
    const Visual* visual = attributes.visual;
    const bool true_colour = visual->c_class == TrueColor || visual->c_class == DirectColor;
    std::map<unsigned long, Rgb> palette;  // pixel value -> colour, for palette screens
    auto channel = [](unsigned long pixel, unsigned long mask) {
        int shift = 0;
        while (mask && !(mask & 1)) {
            mask >>= 1;
            ++shift;
        }
        unsigned long value = (pixel >> shift) & mask;
        return static_cast<std::uint8_t>(mask ? value * 255 / mask : 0);
    };
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            unsigned long pixel = XGetPixel(ximage, x, y);
            Rgb colour;
            if (true_colour) {
                colour = {channel(pixel, visual->red_mask), channel(pixel, visual->green_mask),
                          channel(pixel, visual->blue_mask)};
            } else {
                auto found = palette.find(pixel);
                if (found == palette.end()) {
                    XColor xcolour{};
                    xcolour.pixel = pixel;
                    XQueryColor(display_, attributes.colormap, &xcolour);
                    found = palette
                                .emplace(pixel, Rgb{static_cast<std::uint8_t>(xcolour.red >> 8),
                                                    static_cast<std::uint8_t>(xcolour.green >> 8),
                                                    static_cast<std::uint8_t>(xcolour.blue >> 8)})
                                .first;
                }
                colour = found->second;
            }
            auto* p = &image.rgb[(static_cast<std::size_t>(y) * image.width + x) * 3];
            p[0] = colour[0];
            p[1] = colour[1];
            p[2] = colour[2];
        }
    }
    XDestroyImage(ximage);
    return image;
}

void XClient::MoveTo(WindowId window, int x, int y) {
    Rect rect = Geometry(window);
    XTestFakeMotionEvent(display_, DefaultScreen(display_), rect.x + x, rect.y + y, CurrentTime);
    XSync(display_, False);
}

void XClient::Press(Button button) {
    XTestFakeButtonEvent(display_, button, True, CurrentTime);
    XSync(display_, False);
}

void XClient::Release(Button button) {
    XTestFakeButtonEvent(display_, button, False, CurrentTime);
    XSync(display_, False);
}

void XClient::Click(WindowId window, int x, int y, Button button) {
    MoveTo(window, x, y);
    Press(button);
    Release(button);
}

void XClient::DoubleClick(WindowId window, int x, int y) {
    // Paced like a quick hand: events of one millisecond are not taken as a double click.
    constexpr auto kGap = std::chrono::milliseconds(40);
    MoveTo(window, x, y);
    for (int i = 0; i < 2; ++i) {
        if (i) std::this_thread::sleep_for(kGap);
        Press();
        std::this_thread::sleep_for(kGap);
        Release();
    }
}

void XClient::ClickBurst(WindowId window, const std::vector<std::pair<int, int>>& points,
                         std::chrono::microseconds interval) {
    const Rect rect = Geometry(window);
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < points.size(); ++i) {
        std::this_thread::sleep_until(start + i * interval);
        XTestFakeMotionEvent(display_, DefaultScreen(display_), rect.x + points[i].first, rect.y + points[i].second,
                             CurrentTime);
        XTestFakeButtonEvent(display_, kLeft, True, CurrentTime);
        XTestFakeButtonEvent(display_, kLeft, False, CurrentTime);
        XFlush(display_);
    }
    XSync(display_, False);
}

void XClient::Keys(const std::vector<std::string>& keysyms) {
    std::vector<unsigned> codes;
    for (const auto& name : keysyms) {
        KeySym sym = XStringToKeysym(name.c_str());
        KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(display_, sym);
        if (!code) throw std::invalid_argument("no key for " + name);
        codes.push_back(code);
    }
    for (auto code : codes) XTestFakeKeyEvent(display_, code, True, CurrentTime);
    for (auto it = codes.rbegin(); it != codes.rend(); ++it) XTestFakeKeyEvent(display_, *it, False, CurrentTime);
    XSync(display_, False);
}

void XClient::SendWmMessage(WindowId window, const char* type, const std::vector<long>& data) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = Intern(type);
    event.xclient.format = 32;
    for (std::size_t i = 0; i < data.size() && i < 5; ++i) event.xclient.data.l[i] = data[i];
    XSendEvent(display_, DefaultRootWindow(display_), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XSync(display_, False);
}

void XClient::SendDeleteWindow(WindowId window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = Intern("WM_PROTOCOLS");
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(Intern("WM_DELETE_WINDOW"));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window, False, NoEventMask, &event);
    XSync(display_, False);
}

Rect XClient::Pointer() {
    Window root, child;
    Rect at;
    int window_x, window_y;
    unsigned mask;
    XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &at.x, &at.y, &window_x, &window_y, &mask);
    return at;
}

void XClient::RequestMaximize(WindowId window) {
    constexpr long kAdd = 1;
    constexpr long kFromPager = 2;
    SendWmMessage(window, "_NET_WM_STATE",
                  {kAdd, static_cast<long>(Intern("_NET_WM_STATE_MAXIMIZED_VERT")),
                   static_cast<long>(Intern("_NET_WM_STATE_MAXIMIZED_HORZ")), kFromPager});
}

void XClient::RequestMinimize(WindowId window) {
    XIconifyWindow(display_, window, DefaultScreen(display_));
    XSync(display_, False);
}

void XClient::RequestClose(WindowId window) {
    constexpr long kFromPager = 2;
    SendWmMessage(window, "_NET_CLOSE_WINDOW", {CurrentTime, kFromPager});
}

unsigned long XClient::ServerTime() {
    unsigned char none = 0;
    XChangeProperty(display_, clock_window_, XA_WM_NAME, XA_STRING, 8, PropModeAppend, &none, 0);
    XEvent event;
    XWindowEvent(display_, clock_window_, PropertyChangeMask, &event);
    return event.xproperty.time;
}

}  // namespace e2e
