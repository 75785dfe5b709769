// Supports: 8-bit PseudoColor (and other 8-bit) X screens through Xlib, for indexed
// bitmaps only; colours are allocated once per bitmap and kept for the run.
#include "platform/x11/palette_screen.h"

#include <QImage>
#include <QWidget>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <cstring>

#include "platform/c_handle.h"
#include "platform/x11/qt_connection.h"

namespace platform {
namespace {

// XDestroyImage is a macro.
void DestroyImage(XImage* image) { XDestroyImage(image); }

unsigned long NearestExisting(Display* display, Colormap colormap, int cells, QRgb wanted) {
    std::vector<XColor> existing(static_cast<std::size_t>(cells));
    for (int i = 0; i < cells; ++i) existing[i].pixel = static_cast<unsigned long>(i);
    XQueryColors(display, colormap, existing.data(), cells);
    unsigned long best = 0;
    long best_distance = -1;
    for (const XColor& c : existing) {
        const long dr = (c.red >> 8) - qRed(wanted), dg = (c.green >> 8) - qGreen(wanted),
                   db = (c.blue >> 8) - qBlue(wanted);
        const long distance = dr * dr + dg * dg + db * db;
        if (best_distance < 0 || distance < best_distance) {
            best_distance = distance;
            best = c.pixel;
        }
    }
    return best;
}

// The bitmap's rows as X pixel values, in an image that owns them.
CHandle<XImage, DestroyImage> ToXImage(Display* display, Visual* visual, const QImage& bitmap,
                                       const std::vector<unsigned long>& pixels) {
    const int width = bitmap.width(), height = bitmap.height();
    // XDestroyImage frees the data with free().
    auto* data = static_cast<char*>(std::malloc(static_cast<std::size_t>(width) * height));
    if (!data) return nullptr;
    for (int row = 0; row < height; ++row) {
        const uchar* in = bitmap.constScanLine(row);
        char* out = data + static_cast<std::size_t>(row) * width;
        for (int column = 0; column < width; ++column)
            out[column] = static_cast<char>(in[column] < pixels.size() ? pixels[in[column]] : 0);
    }
    CHandle<XImage, DestroyImage> image(XCreateImage(display, visual, 8, ZPixmap, 0, data, static_cast<unsigned>(width),
                                                     static_cast<unsigned>(height), 8, width));
    if (!image) std::free(data);
    return image;
}

// X pixels for a palette, allocated when it is first seen.
void AllocateColours(Display* display, const XWindowAttributes& attributes, const QList<QRgb>& colours,
                     std::vector<unsigned long>& pixels) {
    if (pixels.size() == static_cast<std::size_t>(colours.size())) return;
    pixels.clear();
    for (QRgb colour : colours) {
        XColor wanted{};
        wanted.red = static_cast<unsigned short>(qRed(colour) * 257);
        wanted.green = static_cast<unsigned short>(qGreen(colour) * 257);
        wanted.blue = static_cast<unsigned short>(qBlue(colour) * 257);
        wanted.flags = DoRed | DoGreen | DoBlue;
        pixels.push_back(XAllocColor(display, attributes.colormap, &wanted)
                             ? wanted.pixel
                             : NearestExisting(display, attributes.colormap, attributes.visual->map_entries, colour));
    }
}

}  // namespace

bool PaletteScreenImage::Put(QWidget& widget, int x, int y, const QImage& bitmap) {
    Display* display = x11::QtDisplay();
    if (!display || bitmap.format() != QImage::Format_Indexed8) return false;
    const Window window = static_cast<Window>(widget.window()->winId());
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.depth != 8) return false;

    AllocateColours(display, attributes, bitmap.colorTable(), pixels_);
    const auto image = ToXImage(display, attributes.visual, bitmap, pixels_);
    if (!image) return false;
    // The X window counts device pixels.
    const QPointF at = QPointF(widget.mapTo(widget.window(), QPoint(x, y))) * widget.devicePixelRatioF();
    GC gc = XCreateGC(display, window, 0, nullptr);
    XPutImage(display, window, gc, image.get(), 0, 0, qRound(at.x()), qRound(at.y()),
              static_cast<unsigned>(bitmap.width()), static_cast<unsigned>(bitmap.height()));
    XFreeGC(display, gc);
    XFlush(display);
    return true;
}

}  // namespace platform
