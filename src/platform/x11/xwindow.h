// Window-system details Qt does not offer: exact X window properties and the display check.
#pragma once

#include <string>
#include <string_view>

class QWidget;

namespace platform::x11 {

// Whether the application runs on an X server (not e.g. the offscreen platform).
bool Active();
// Sets _NET_WM_NAME and WM_NAME of the window exactly (an empty title stays empty) and
// flushes, so the change is on the server when this returns.
void SetTitle(QWidget& window, std::string_view utf8);
// WM_CLASS, _NET_WM_ICON_NAME and WM_ICON_NAME from the application title.
void SetIdentity(QWidget& window, std::string_view application_title);
// Before Qt starts: makes Qt use X11 unless another platform was asked for, and then
// checks that the X display can be opened. False, with the reason, when it cannot.
bool SelectX11(std::string& why);
// Once Qt runs on X: when the connection to the X server breaks, the program ends with
// exit code 1 and one line on standard error, whichever of Qt's calls notices first.
void EndWhenConnectionBreaks();

}  // namespace platform::x11
