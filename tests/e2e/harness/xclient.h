// Our own X client for driving and inspecting a program's window from outside:
// finding its managed top-level windows, their client-area geometry and titles,
// screenshots, real input through the XTEST extension, and requests to the window
// manager. Points given for input are relative to the window's client area.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "image.h"

struct _XDisplay;

namespace e2e {

using WindowId = unsigned long;

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct ClientInfo {
    WindowId window = 0;
    pid_t pid = 0;         // _NET_WM_PID, 0 when absent
    std::string title;     // _NET_WM_NAME, UTF-8
    std::string wm_class;  // WM_CLASS class part
};

enum Button { kLeft = 1, kMiddle = 2, kRight = 3 };

// Makes Xlib errors (a window that has gone meanwhile) non-fatal for the test process.
void InstallQuietXErrorHandler();

// Decodes a title property (UTF8_STRING, STRING or COMPOUND_TEXT) to UTF-8.
std::string ReadTextProperty(_XDisplay* display, WindowId window, unsigned long property);

class XClient {
public:
    explicit XClient(const std::string& display_name);
    ~XClient();
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;

    _XDisplay* display() const { return display_; }

    // The top-level windows the window manager manages, oldest first.
    std::vector<ClientInfo> Clients();
    // Waits for a managed window of the process that satisfies `accept` (any when empty).
    std::optional<WindowId> WaitForClient(pid_t pid, std::chrono::milliseconds timeout,
                                          const std::function<bool(const ClientInfo&)>& accept = {});
    bool Exists(WindowId window);
    bool Viewable(WindowId window);
    // The client area (without the window manager's frame) in screen coordinates.
    Rect Geometry(WindowId window);
    // The window manager's frame around a client (the client itself when unframed).
    WindowId Frame(WindowId window);
    std::string Title(WindowId window);     // _NET_WM_NAME
    std::string WmName(WindowId window);    // WM_NAME
    std::string IconName(WindowId window);  // _NET_WM_ICON_NAME
    WindowId Focus();
    int ScreenDepth();
    Image Screenshot(WindowId window);

    void MoveTo(WindowId window, int x, int y);
    void Press(Button button = kLeft);
    void Release(Button button = kLeft);
    // Two clicks sent within a millisecond of each other can reach a Qt program as one
    // press and one release; tests that need both leave a moment between them.
    void Click(WindowId window, int x, int y, Button button = kLeft);
    void DoubleClick(WindowId window, int x, int y);
    // Clicks at the points in turn, one every `interval`, without waiting for the server
    // between them: input as fast as a machine can make it.
    void ClickBurst(WindowId window, const std::vector<std::pair<int, int>>& points,
                    std::chrono::microseconds interval);
    // Presses the keys in order and releases them in reverse ({"Alt_L", "F4"}).
    void Keys(const std::vector<std::string>& keysyms);

    // Asks the window manager to maximise the window, as its title bar button does.
    void RequestMaximize(WindowId window);
    // Asks the window manager to minimise (iconify) the window.
    void RequestMinimize(WindowId window);
    // Asks the window manager to close the window, as its close button does.
    void RequestClose(WindowId window);
    // Asks the window itself to close (WM_DELETE_WINDOW), as a window manager does
    // when its close button is pressed.
    void SendDeleteWindow(WindowId window);
    // Where the pointer is, in screen coordinates (width and height 0).
    Rect Pointer();

    // The X server's clock in milliseconds, read after every request sent so far
    // has been processed: the time base of the title observer's records. The server
    // stamps with its last clock update, so a change made by another client just
    // afterwards may rarely carry a later stamp than a reading taken after it;
    // order events by when they were seen, and use stamps for durations.
    unsigned long ServerTime();

private:
    unsigned long Intern(const char* name);
    void SendWmMessage(WindowId window, const char* type, const std::vector<long>& data);

    _XDisplay* display_ = nullptr;
    WindowId clock_window_ = 0;
};

}  // namespace e2e
