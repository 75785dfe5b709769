// JPEG decoding with libjpeg, kept behind plain C++ types: the header check made when a
// picture is loaded, and the decode at first paint, which produces the picture already
// stretched to its target size, row by row, without keeping the full-size bitmap.
// Supports baseline and progressive Huffman-coded JPEG with one, three or four (CMYK,
// YCCK) components; arithmetic coding is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/files.h"

namespace platform::jpeg {

struct Header {
    int width = 0;
    int height = 0;
};

// A decoded picture at its target size: RGB triples, or palette indices when the
// colours were quantised. Empty (width 0) when decoding stopped before any output.
struct Stretched {
    int width = 0;
    int height = 0;
    bool indexed = false;
    std::vector<std::uint8_t> pixels;
    std::vector<std::uint8_t> palette;  // RGB triples, indexed pictures only
};

struct Limits {
    // libjpeg's own working memory, in bytes. Progressive pictures keep every coefficient
    // (3 bytes a pixel in 4:2:0 colour): this holds pictures of about 20 Mpixels, and keeps
    // a small file that declares a huge picture from taking hundreds of megabytes.
    long max_memory = 64L << 20;
    int max_scans = 100;  // far more scans than real encoders write
    // Quantised pictures must be decoded row by row in full, whatever the target size,
    // and the two-pass quantiser buffers the whole picture: bound their area, so that the
    // first paint takes about a second at most and the buffer stays near 24 MB.
    long long max_quantised_pixels = 1LL << 23;
};

// The colour count of the palette used on displays of at most 8 bits per pixel; the
// rest of a 256-entry system palette stays with the window system.
constexpr int kQuantisedColours = 236;

// Returns 0 and fills `header`, or libjpeg's message code when the data are not a
// decodable JPEG image. Reads only as far as the header goes.
int ReadHeader(ByteSource& data, Header& header);
int ReadHeader(std::span<const std::uint8_t> data, Header& header);

// Decodes `data` stretched to width x height by pixel dropping and repeating.
// Colours are quantised for grey pictures and, when `low_colour_display`, for all.
// Returns 0, or the libjpeg message code of the error that stopped decoding; `out`
// then holds what was decoded so far (rows not reached are zero).
// Reads no further than the end-of-image marker, nor what libjpeg skips.
int DecodeStretched(ByteSource& data, int width, int height, bool low_colour_display, Stretched& out,
                    const Limits& limits = {});
int DecodeStretched(std::span<const std::uint8_t> data, int width, int height, bool low_colour_display, Stretched& out,
                    const Limits& limits = {});

}  // namespace platform::jpeg
