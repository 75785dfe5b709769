// Small JPEG files made on the spot with libjpeg, byte surgery for the broken ones, and a
// plain full-size reference decode with the viewer's settings.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace fixtures {

using Bytes = std::vector<std::uint8_t>;

enum class Colour { Grey, Rgb, Cmyk, Ycck, TwoComponents };

struct EncodeOptions {
    int width = 64;
    int height = 48;
    Colour colour = Colour::Rgb;
    int h_sampling = 2;  // of the first component; the others are 1x1
    int v_sampling = 2;
    bool progressive = false;
    bool arithmetic = false;
    int restart_interval = 0;  // in MCUs
    int quality = 90;
};

// The test pattern: ramps in red and green, a checkerboard in blue.
void PatternRgb(int x, int y, int width, int height, std::uint8_t rgb[3]);

Bytes Encode(const EncodeOptions& options);
Bytes TablesOnly();

// Offset of the first 0xFF <code> marker, or -1.
long FindMarker(const Bytes& bytes, std::uint8_t code);
// The first frame header made into another type, precision or size.
Bytes WithFrame(Bytes bytes, int sof_type, int precision, int width, int height);
Bytes Truncated(Bytes bytes, double fraction);
// A second frame header dropped into the middle of the scan data.
Bytes WithFrameInScan(Bytes bytes);
// The last scan repeated `times` times.
Bytes WithRepeatedLastScan(Bytes bytes, int times);

// Writes `picture` to a file far larger than it: `segments` APP1 segments of the largest
// size right after its start-of-image marker, and `trailing` zero bytes after its end.
// The segments' contents and the trailing zeros are holes in the file, so even gigabytes
// take no room on disk.
constexpr std::uint64_t kApp1SegmentSize = 2 + 0xFFFF;  // marker and the largest length
void WriteLargeFile(const std::filesystem::path& path, const Bytes& picture, std::uint64_t segments,
                    std::uint64_t trailing);

struct Decoded {
    int code = 0;  // libjpeg's message code of the error that stopped decoding
    bool started = false;
    int width = 0;
    int height = 0;
    int components = 0;  // of the rows: 1 (grey or palette index), 3
    bool indexed = false;
    std::vector<std::uint8_t> rows;     // full size, zero where not decoded
    std::vector<std::uint8_t> palette;  // RGB triples
};

// Every row, top to bottom, with JDCT_FLOAT, block smoothing and 236-colour
// quantisation for grey pictures or when `quantise`.
Decoded ReferenceDecode(const Bytes& bytes, bool quantise);

// RGB of the reference stretched to w x h by the pixel-dropping rule.
std::vector<std::uint8_t> StretchToRgb(const Decoded& decoded, int w, int h);

}  // namespace fixtures
