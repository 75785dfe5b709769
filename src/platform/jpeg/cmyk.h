// CMYK samples to RGB, for four-component pictures and their palettes.
#pragma once

#include <cstdint>

namespace platform::jpeg {

inline std::uint8_t Product(unsigned a, unsigned b) { return static_cast<std::uint8_t>((a * b + 127) / 255); }

// CMYK as libjpeg hands it out: inverted when an Adobe marker says so (YCCK always is).
inline void CmykToRgb(const std::uint8_t* cmyk, bool inverted, std::uint8_t* rgb) {
    unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) {
        c = 255 - c;
        m = 255 - m;
        y = 255 - y;
        k = 255 - k;
    }
    rgb[0] = Product(c, k);
    rgb[1] = Product(m, k);
    rgb[2] = Product(y, k);
}

}  // namespace platform::jpeg
