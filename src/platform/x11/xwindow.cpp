// Supports: exact title and identity properties on the X window through Qt's own xcb
// connection (Qt puts its application name into empty titles), and a display check made
// before Qt's xcb plugin, which aborts the process when it cannot connect.
#include "platform/x11/xwindow.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>

#include "platform/c_handle.h"
#include "platform/x11/qt_connection.h"

namespace platform::x11 {

namespace {

// Atoms belong to a server: the table is kept for one connection, and dropped with the
// application that owns it (a later connection may get its address, for another server).
struct AtomTable {
    xcb_connection_t* connection = nullptr;
    std::map<std::string, xcb_atom_t> atoms;
};

AtomTable& AtomsOf(xcb_connection_t* c) {
    static AtomTable table;
    if (table.connection != c) {
        table = AtomTable{c, {}};
        QObject::connect(qGuiApp, &QObject::destroyed, [] { table = AtomTable{}; });
    }
    return table;
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    AtomTable& table = AtomsOf(c);
    const auto it = table.atoms.find(name);
    if (it != table.atoms.end()) return it->second;
    const auto cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name);
    const CHandle<xcb_intern_atom_reply_t, std::free> reply(xcb_intern_atom_reply(c, cookie, nullptr));
    const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    if (atom != XCB_ATOM_NONE) table.atoms.emplace(name, atom);
    return atom;
}

void SetText(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type, std::string_view text) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, property, type, 8, static_cast<uint32_t>(text.size()),
                        text.data());
}

// The native window of a widget on Qt's connection.
struct Target {
    xcb_connection_t* c;
    xcb_window_t w;
    xcb_atom_t utf8_string;
};

std::optional<Target> TargetOf(QWidget& window) {
    xcb_connection_t* c = QtConnection();
    if (!c) return std::nullopt;
    return Target{c, static_cast<xcb_window_t>(window.winId()), Atom(c, "UTF8_STRING")};
}

xcb_connection_t* watched_connection = nullptr;

// Qt notices a broken connection in its event loop and says so in one line; a call
// through Xlib that notices it first would add Xlib's own message to Qt's. Same words
// as Qt's, whichever notices. Xlib may call this on any thread: no exit handlers run.
int ConnectionBroke(Display*) {
    std::fprintf(stderr, "The X11 connection broke (error %d). Did the X11 server die?\n",
                 watched_connection ? xcb_connection_has_error(watched_connection) : 0);
    std::_Exit(1);
}

}  // namespace

xcb_connection_t* QtConnection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

_XDisplay* QtDisplay() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

bool Active() { return QtConnection() != nullptr; }

void SetTitle(QWidget& window, std::string_view utf8) {
    const auto target = TargetOf(window);
    if (!target) return;
    SetText(target->c, target->w, Atom(target->c, "_NET_WM_NAME"), target->utf8_string, utf8);
    SetText(target->c, target->w, XCB_ATOM_WM_NAME, target->utf8_string, utf8);
    xcb_flush(target->c);
}

void SetIdentity(QWidget& window, std::string_view application_title) {
    const auto target = TargetOf(window);
    if (!target) return;
    std::string wm_class(application_title);
    wm_class += '\0';
    wm_class += application_title;
    wm_class += '\0';
    SetText(target->c, target->w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, wm_class);
    SetText(target->c, target->w, Atom(target->c, "_NET_WM_ICON_NAME"), target->utf8_string, application_title);
    SetText(target->c, target->w, XCB_ATOM_WM_ICON_NAME, target->utf8_string, application_title);
    xcb_flush(target->c);
}

void EndWhenConnectionBreaks() {
    if (!QtDisplay()) return;
    watched_connection = QtConnection();
    XSetIOErrorHandler(ConnectionBroke);
}

bool SelectX11(std::string& why) {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform && std::strncmp(platform, "xcb", 3) != 0) return true;
    // The window code speaks X; do not let Qt pick another window system.
    if (!platform || !*platform) setenv("QT_QPA_PLATFORM", "xcb", 1);
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        why = "no X display: DISPLAY is not set (run it on a desktop, or under xvfb-run)";
        return false;
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const bool ok = xcb_connection_has_error(c) == 0;
    xcb_disconnect(c);
    if (!ok) why = std::string("cannot open X display ") + display;
    return ok;
}

}  // namespace platform::x11
