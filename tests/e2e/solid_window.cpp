// A plain X window of one allocated colour, for checking screenshots of palette screens.
#include <X11/Xlib.h>

#include <stdexcept>
#include <thread>

#include "xclient.h"

namespace e2e {

WindowId MakeSolidWindow(XClient& x, Rgb colour, int width, int height) {
    Display* d = x.display();
    XColor xcolour{};
    xcolour.red = static_cast<unsigned short>(colour[0] * 257);
    xcolour.green = static_cast<unsigned short>(colour[1] * 257);
    xcolour.blue = static_cast<unsigned short>(colour[2] * 257);
    if (!XAllocColor(d, DefaultColormap(d, DefaultScreen(d)), &xcolour))
        throw std::runtime_error("cannot allocate a colour");
    // Override-redirect: shown at once, without waiting for the window manager.
    XSetWindowAttributes attributes{};
    attributes.background_pixel = xcolour.pixel;
    attributes.override_redirect = True;
    Window window = XCreateWindow(d, DefaultRootWindow(d), 0, 0, width, height, 0, CopyFromParent, InputOutput,
                                  CopyFromParent, CWBackPixel | CWOverrideRedirect, &attributes);
    XMapWindow(d, window);
    XSync(d, False);
    for (int i = 0; i < 200 && !x.Viewable(window); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return window;
}

}  // namespace e2e
