// Drawing a palette bitmap on an X screen of at most 8 bits per pixel, where Qt's raster
// painting cannot run: the bitmap's colours are allocated in the window's colour map
// (the nearest existing colour where the map is full) and the pixels put with Xlib.
#pragma once

#include <cstdint>
#include <vector>

class QImage;
class QWidget;

namespace platform {

class PaletteScreenImage {
public:
    // Draws `bitmap` (8-bit indexed, already at its target size in device pixels) at
    // `x`, `y` of `widget`, in the widget's own (logical) coordinates.
    // Returns false where this cannot be done (no X11, not an 8-bit screen).
    bool Put(QWidget& widget, int x, int y, const QImage& bitmap);

private:
    std::vector<unsigned long> pixels_;  // X pixel value for each palette index
};

}  // namespace platform
