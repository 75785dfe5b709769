// Qt's own connection to the X server, for the calls Qt does not offer. Null when Qt does
// not run on X (no application yet, or another platform such as offscreen).
#pragma once

struct _XDisplay;
struct xcb_connection_t;

namespace platform::x11 {

xcb_connection_t* QtConnection();
_XDisplay* QtDisplay();

}  // namespace platform::x11
