// The decoder on its own: the palette path taken on displays of 8 bits or fewer, the
// quantisation of grey pictures on any display, and how much of a large file it reads.
#include <gtest/gtest.h>

#include <jerror.h>
#include <jpeglib.h>

#include <filesystem>
#include <set>

#include "jpeg_fixtures.h"
#include "platform/jpeg/jpeg_decoder.h"

namespace {

using fixtures::Colour;
using fixtures::EncodeOptions;
using platform::jpeg::DecodeStretched;
using platform::jpeg::ReadHeader;
using platform::jpeg::Stretched;

std::vector<std::uint8_t> ToRgb(const Stretched& s) {
    if (!s.indexed) return s.pixels;
    std::vector<std::uint8_t> rgb;
    for (std::uint8_t index : s.pixels) rgb.insert(rgb.end(), &s.palette[3 * index], &s.palette[3 * index + 3]);
    return rgb;
}

TEST(LowColourDisplay, QuantisesEveryPictureLikeAFullDecode) {
    const struct {
        const char* name;
        EncodeOptions options;
    } cases[] = {
        {"baseline", {.width = 640, .height = 480}},
        {"progressive", {.width = 500, .height = 700, .progressive = true}},
        {"small", {.width = 37, .height = 23}},
        {"grey", {.width = 300, .height = 300, .colour = Colour::Grey}},
    };
    for (const auto& c : cases) {
        const auto bytes = fixtures::Encode(c.options);
        Stretched shown;
        ASSERT_EQ(DecodeStretched(bytes, 400, 400, true, shown), 0) << c.name;
        EXPECT_TRUE(shown.indexed) << c.name;
        EXPECT_LE(shown.palette.size(), 236u * 3) << c.name;
        const fixtures::Decoded reference = fixtures::ReferenceDecode(bytes, true);
        EXPECT_EQ(ToRgb(shown), fixtures::StretchToRgb(reference, 400, 400)) << c.name;
    }
}

TEST(LowColourDisplay, FourComponentPaletteIsConvertedToRgb) {
    const auto bytes = fixtures::Encode({.width = 200, .height = 100, .colour = Colour::Cmyk, .quality = 98});
    Stretched shown;
    ASSERT_EQ(DecodeStretched(bytes, 200, 100, true, shown), 0);
    ASSERT_TRUE(shown.indexed);
    const auto rgb = ToRgb(shown);
    double distance = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) {
            std::uint8_t expected[3];
            fixtures::PatternRgb(x, y, 200, 100, expected);
            for (int c = 0; c < 3; ++c) distance += std::abs(rgb[(y * 200 + x) * 3 + c] - expected[c]);
        }
    // Dithering to a palette of four-component colours is coarse; mixed-up channels
    // or a wrong inversion are far beyond this.
    EXPECT_LT(distance / (200 * 100 * 3), 40.0);
}

TEST(GreyPicture, AtMost236DitheredLevelsOnATrueColourDisplay) {
    // Each column of the ramp has one grey value; only dithering spreads a column
    // over several levels.
    const auto bytes = fixtures::Encode({.width = 400, .height = 400, .colour = Colour::Grey, .quality = 100});
    Stretched shown;
    ASSERT_EQ(DecodeStretched(bytes, 400, 400, false, shown), 0);
    ASSERT_TRUE(shown.indexed);
    std::set<std::uint8_t> levels;
    for (std::size_t i = 0; i < shown.palette.size(); i += 3) {
        EXPECT_EQ(shown.palette[i], shown.palette[i + 1]);
        EXPECT_EQ(shown.palette[i], shown.palette[i + 2]);
    }
    int dithered_columns = 0;
    for (int x = 0; x < 400; ++x) {
        std::set<std::uint8_t> column;
        for (int y = 0; y < 400; ++y) {
            const std::uint8_t level = shown.palette[3 * shown.pixels[y * 400 + x]];
            column.insert(level);
            levels.insert(level);
        }
        dithered_columns += column.size() > 1;
    }
    EXPECT_LE(levels.size(), 236u);
    EXPECT_GT(levels.size(), 200u);
    EXPECT_GT(dithered_columns, 10);
}

TEST(Limits, MemoryAndScanBoundsEndInLibjpegErrors) {
    const auto progressive = fixtures::Encode({.width = 256, .height = 256, .progressive = true});
    Stretched shown;
    // A budget far below the coefficient buffer of this picture.
    EXPECT_NE(DecodeStretched(progressive, 400, 400, false, shown, {.max_memory = 64 * 1024}), 0);
    EXPECT_EQ(DecodeStretched(progressive, 400, 400, false, shown, {.max_scans = 10}), 0);
    EXPECT_NE(DecodeStretched(progressive, 400, 400, false, shown, {.max_scans = 9}), 0);
    // Area of pictures decoded through the quantiser: 256 x 256 is 65536 pixels.
    EXPECT_EQ(DecodeStretched(progressive, 400, 400, true, shown, {.max_quantised_pixels = 65536}), 0);
    EXPECT_NE(DecodeStretched(progressive, 400, 400, true, shown, {.max_quantised_pixels = 65535}), 0);
    EXPECT_EQ(DecodeStretched(progressive, 400, 400, false, shown, {.max_quantised_pixels = 65535}), 0);
}

// Counts the bytes read through it.
class Counted : public platform::ByteSource {
public:
    explicit Counted(platform::ByteSource& source) : source_(source) {}
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) noexcept override {
        const std::size_t n = source_.ReadAt(offset, buffer);
        bytes_read += n;
        return n;
    }
    std::uint64_t bytes_read = 0;

private:
    platform::ByteSource& source_;
};

TEST(LargeFile, ReadsOnlyAsFarAsThePictureGoesAndSkipsWhatItSkips) {
    constexpr std::uint64_t kGiB = 1ULL << 30;
    constexpr std::uint64_t kBlock = 4096;
    const struct {
        const char* name;
        std::uint64_t segments;
        std::uint64_t trailing;
    } cases[] = {
        {"2 GiB of zeros after the picture", 0, 2 * kGiB},
        {"190 MB of APP1 segments before it", 2900, 0},
        {"both", 2900, 2 * kGiB},
    };
    char dir[] = "/tmp/jpeg-large-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::filesystem::path path = std::filesystem::path(dir) / "large.jpeg";
    for (const bool progressive : {false, true}) {
        const auto picture = fixtures::Encode({.width = 320, .height = 240, .progressive = progressive});
        Stretched expected;
        ASSERT_EQ(DecodeStretched(picture, 400, 400, false, expected), 0);
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (progressive ? ", progressive" : ", baseline"));
            fixtures::WriteLargeFile(path, picture, c.segments, c.trailing);
            platform::SharedFile file(path.string());
            // Each skipped segment costs the one block that holds its header.
            const std::uint64_t bound = picture.size() + (c.segments + 2) * kBlock;

            Counted header_reads(file);
            platform::jpeg::Header header;
            ASSERT_EQ(ReadHeader(header_reads, header), 0);
            EXPECT_EQ(header.width, 320);
            EXPECT_EQ(header.height, 240);
            EXPECT_LE(header_reads.bytes_read, bound);

            Counted decode_reads(file);
            Stretched shown;
            ASSERT_EQ(DecodeStretched(decode_reads, 400, 400, false, shown), 0);
            EXPECT_TRUE(shown.pixels == expected.pixels);
            EXPECT_LE(decode_reads.bytes_read, bound);
        }
    }
    std::filesystem::remove_all(dir);
}

// A file cut short inside a segment that is skipped: the skip ends the image there.
TEST(LargeFile, CutInsideASkippedSegmentEndsTheImage) {
    const fixtures::Bytes cut = {0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xFF, 0, 0};
    platform::MemorySource source(cut);
    platform::jpeg::Header header;
    EXPECT_EQ(ReadHeader(source, header), JERR_NO_IMAGE);
}

}  // namespace
