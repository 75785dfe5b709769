// Loading and showing JPEG files through the picture container: every kind of file in
// one table, with what the load says, what the first paint says, and what is shown.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <jerror.h>
#include <jpeglib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>

#include "jpeg_fixtures.h"
#include "platform/exception.h"
#include "platform/picture/picture.h"
#include "temp_dir.h"

namespace {

using fixtures::Bytes;
using fixtures::Colour;
using fixtures::EncodeOptions;

constexpr int kSide = 400;
const QRgb kFormColour = qRgb(240, 240, 240);

std::string JpegError(int code) { return "JPEG エラー #" + std::to_string(code); }

enum class Shown {
    Reference,  // the reference decode, stretched
    Pattern,    // close to the test pattern (colour spaces libjpeg does not convert)
    Nothing,    // the form colour only
    Unchecked,  // too big for a reference decode
};

struct Case {
    const char* name;
    std::function<Bytes()> make;
    std::string load_error;
    std::string paint_error;
    Shown shown;
};

Bytes Make(EncodeOptions o) { return fixtures::Encode(o); }

const EncodeOptions kBaseline{.width = 640, .height = 480};
const EncodeOptions kProgressive{.width = 640, .height = 480, .progressive = true};
const EncodeOptions kTall{.width = 40, .height = 9000};

std::vector<Case> Cases() {
    return {
        {"baseline", [] { return Make(kBaseline); }, "", "", Shown::Reference},
        {"progressive", [] { return Make(kProgressive); }, "", "", Shown::Reference},
        {"tall_baseline_420", [] { return Make(kTall); }, "", "", Shown::Reference},
        {"tall_progressive_420",
         [] {
             EncodeOptions o = kTall;
             o.progressive = true;
             return Make(o);
         },
         "", "", Shown::Reference},
        {"grey", [] { return Make({.width = 300, .height = 500, .colour = Colour::Grey}); }, "", "", Shown::Reference},
        {"colour_444", [] { return Make({.width = 333, .height = 777, .h_sampling = 1, .v_sampling = 1}); }, "", "",
         Shown::Reference},
        {"colour_422", [] { return Make({.width = 801, .height = 203, .h_sampling = 2, .v_sampling = 1}); }, "", "",
         Shown::Reference},
        {"restart_markers", [] { return Make({.width = 500, .height = 420, .restart_interval = 3}); }, "", "",
         Shown::Reference},
        {"cmyk", [] { return Make({.width = 200, .height = 100, .colour = Colour::Cmyk, .quality = 98}); }, "", "",
         Shown::Pattern},
        {"ycck",
         [] {
             return Make({.width = 200,
                          .height = 100,
                          .colour = Colour::Ycck,
                          .h_sampling = 1,
                          .v_sampling = 1,
                          .quality = 98});
         },
         "", "", Shown::Pattern},
        // Two components have no colour meaning to show.
        {"two_components", [] { return Make({.colour = Colour::TwoComponents}); }, JpegError(JERR_CONVERSION_NOTIMPL),
         "", Shown::Nothing},
        {"truncated_baseline", [] { return fixtures::Truncated(Make(kBaseline), 0.6); }, "", "", Shown::Reference},
        {"truncated_progressive", [] { return fixtures::Truncated(Make(kProgressive), 0.5); }, "", "",
         Shown::Reference},
        {"corrupt_scan", [] { return fixtures::WithFrameInScan(Make(kBaseline)); }, "", JpegError(JERR_SOF_DUPLICATE),
         Shown::Reference},
        {"empty_file", [] { return Bytes{}; }, "", JpegError(JERR_NO_SOI), Shown::Nothing},
        {"not_a_jpeg", [] { return Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0}; }, JpegError(JERR_NO_SOI), "",
         Shown::Nothing},
        {"tables_only", fixtures::TablesOnly, JpegError(JERR_NO_IMAGE), "", Shown::Nothing},
        {"precision_12", [] { return fixtures::WithFrame(Make(kBaseline), 0xC1, 12, -1, -1); },
         JpegError(JERR_BAD_PRECISION), "", Shown::Nothing},
        {"lossless", [] { return fixtures::WithFrame(Make(kBaseline), 0xC3, -1, -1, -1); },
         JpegError(JERR_SOF_UNSUPPORTED), "", Shown::Nothing},
        {"arithmetic", [] { return Make({.width = 64, .height = 64, .arithmetic = true}); }, "",
         JpegError(JERR_ARITH_NOTIMPL), Shown::Nothing},
        {"non_square", [] { return Make({.width = 1000, .height = 90}); }, "", "", Shown::Reference},
        {"one_pixel", [] { return Make({.width = 1, .height = 1}); }, "", "", Shown::Reference},
        {"too_wide", [] { return fixtures::WithFrame(Make(kBaseline), -1, -1, 65501, -1); },
         JpegError(JERR_IMAGE_TOO_BIG), "", Shown::Nothing},
        {"huge_declared_baseline", [] { return fixtures::WithFrame(Make(kBaseline), -1, -1, 65500, 65500); }, "", "",
         Shown::Unchecked},
        // Grey pictures are dithered, which needs every row: too slow at this size.
        {"huge_declared_grey", [] { return fixtures::WithFrame(Make({.colour = Colour::Grey}), -1, -1, 65500, 65500); },
         "", JpegError(JERR_IMAGE_TOO_BIG), Shown::Nothing},
        // The quantiser buffers the whole picture: 16 Mpixels would take 48 MB and seconds.
        {"grey_past_quantised_area",
         [] { return fixtures::WithFrame(Make({.colour = Colour::Grey}), -1, -1, 4096, 4096); }, "",
         JpegError(JERR_IMAGE_TOO_BIG), Shown::Nothing},
        // Progressive pictures keep every coefficient: 36 MB here, within libjpeg's budget;
        // 108 MB past it.
        {"large_declared_progressive", [] { return fixtures::WithFrame(Make(kProgressive), -1, -1, 4000, 3000); }, "",
         "", Shown::Unchecked},
        {"progressive_past_memory", [] { return fixtures::WithFrame(Make(kProgressive), -1, -1, 6000, 6000); }, "",
         JpegError(JERR_NO_BACKING_STORE), Shown::Nothing},
        {"huge_declared_progressive", [] { return fixtures::WithFrame(Make(kProgressive), -1, -1, 65500, 65500); }, "",
         JpegError(JERR_NO_BACKING_STORE), Shown::Nothing},
        {"thousands_of_scans", [] { return fixtures::WithRepeatedLastScan(Make(kProgressive), 3000); }, "",
         JpegError(JERR_BAD_PROGRESSION), Shown::Nothing},
    };
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class JpegFiles : public testing::TestWithParam<Case> {
protected:
    void SetUp() override { std::filesystem::create_directory(dir_ / "[]"); }

    // The path as the program passes it: Windows separator inside.
    std::string Write(const Bytes& bytes) {
        std::ofstream(dir_ / "[]" / "picture.jpeg", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return (dir_ / "[]").string() + "\\picture.jpeg";
    }

    test_support::TempDir temp_{"picture-test"};
    const std::filesystem::path& dir_ = temp_.path();
};

std::string Paint(platform::TPicture& picture, QImage& canvas) {
    QPainter painter(&canvas);
    try {
        picture.Draw(painter, QRect(0, 0, kSide, kSide));
    } catch (const platform::Exception& e) {
        return e.what();
    }
    return "";
}

// Per-channel absolute differences between what is shown and the expected RGB.
std::vector<int> Differences(const QImage& shown, const std::vector<std::uint8_t>& rgb) {
    std::vector<int> differences;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const QRgb p = shown.pixel(x, y);
            const std::uint8_t* e = rgb.data() + (static_cast<std::size_t>(y) * kSide + x) * 3;
            differences.insert(differences.end(),
                               {std::abs(qRed(p) - e[0]), std::abs(qGreen(p) - e[1]), std::abs(qBlue(p) - e[2])});
        }
    return differences;
}

double Distance(const QImage& shown, const std::vector<std::uint8_t>& rgb) {
    const auto d = Differences(shown, rgb);
    return std::accumulate(d.begin(), d.end(), 0.0) / static_cast<double>(d.size());
}

// Differing channels: zero exactly when every pixel is the same.
long CountDifferent(const QImage& shown, const std::vector<std::uint8_t>& rgb) {
    const auto d = Differences(shown, rgb);
    return std::count_if(d.begin(), d.end(), [](int v) { return v != 0; });
}

TEST_P(JpegFiles, LoadPaintAndShow) {
    const Case& c = GetParam();
    const Bytes bytes = c.make();
    platform::TPicture picture;

    std::string load_error;
    try {
        picture.LoadFromFile(Write(bytes));
    } catch (const platform::Exception& e) {
        load_error = e.what();
    }
    EXPECT_EQ(load_error, c.load_error);
    EXPECT_EQ(picture.Empty(), !c.load_error.empty());

    QImage canvas(kSide, kSide, QImage::Format_RGB32);
    canvas.fill(kFormColour);
    EXPECT_EQ(Paint(picture, canvas), c.paint_error);
    const QImage first = canvas.copy();
    // Later paints show the same without decoding again or complaining.
    canvas.fill(kFormColour);
    EXPECT_EQ(Paint(picture, canvas), "");
    EXPECT_EQ(canvas, first);

    switch (c.shown) {
        case Shown::Reference: {
            const fixtures::Decoded reference = fixtures::ReferenceDecode(bytes, false);
            ASSERT_TRUE(reference.started);
            EXPECT_EQ(CountDifferent(canvas, fixtures::StretchToRgb(reference, kSide, kSide)), 0);
            break;
        }
        case Shown::Pattern: {
            std::vector<std::uint8_t> pattern(kSide * kSide * 3);
            const int w = 200, h = 100;  // the size of the four-component fixtures
            for (int y = 0; y < kSide; ++y)
                for (int x = 0; x < kSide; ++x)
                    fixtures::PatternRgb(x * w / kSide, y * h / kSide, w, h, &pattern[(y * kSide + x) * 3]);
            // Loose enough for the loss of compression, far from any mix-up of channels
            // or of the inverted convention.
            EXPECT_LT(Distance(canvas, pattern), 10.0);
            break;
        }
        case Shown::Nothing: {
            QImage blank(kSide, kSide, QImage::Format_RGB32);
            blank.fill(kFormColour);
            EXPECT_EQ(canvas, blank);
            break;
        }
        case Shown::Unchecked:
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, JpegFiles, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

// On a dense screen the 400 x 400 area has more device pixels than logical ones; the
// picture is sampled straight to those, whatever the ratio.
struct Density {
    const char* name;
    double ratio;
    int side;  // device pixels of the 400 x 400 area
};

const Density kDensities[] = {
    {"usual", 1.0, 400},           {"five_quarters", 1.25, 500}, {"one_and_a_half", 1.5, 600},
    {"seven_quarters", 1.75, 700}, {"twice", 2.0, 800},          {"three_times", 3.0, 1200},
};

// What a paint of `picture` on a canvas of `ratio` shows, in device pixels, and the error
// it reported.
std::pair<QImage, std::string> PaintDense(platform::TPicture& picture, const Density& density) {
    QImage canvas(density.side, density.side, QImage::Format_RGB32);
    canvas.fill(kFormColour);
    canvas.setDevicePixelRatio(density.ratio);
    std::string error = Paint(picture, canvas);
    canvas.setDevicePixelRatio(1.0);
    return {canvas, error};
}

long CountDifferent(const QImage& shown, const std::vector<std::uint8_t>& rgb, int side) {
    long different = 0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const QRgb p = shown.pixel(x, y);
            const std::uint8_t* e = rgb.data() + (static_cast<std::size_t>(y) * side + x) * 3;
            different += qRed(p) != e[0] || qGreen(p) != e[1] || qBlue(p) != e[2];
        }
    return different;
}

class DenseCanvas : public JpegFiles {};

TEST_F(DenseCanvas, PictureIsSampledToDevicePixels) {
    const std::pair<const char*, Bytes> pictures[] = {
        {"colour", Make({.width = 640, .height = 480})},
        {"grey", Make({.width = 300, .height = 500, .colour = Colour::Grey})},
        {"wide", Make({.width = 1000, .height = 90})},
    };
    for (const auto& [name, bytes] : pictures) {
        const fixtures::Decoded reference = fixtures::ReferenceDecode(bytes, false);
        for (const Density& density : kDensities) {
            SCOPED_TRACE(std::string(name) + " at " + density.name);
            platform::TPicture picture;
            picture.LoadFromFile(Write(bytes));
            const auto [shown, error] = PaintDense(picture, density);
            EXPECT_EQ(error, "");
            ASSERT_EQ(shown.width(), density.side);
            EXPECT_EQ(
                CountDifferent(shown, fixtures::StretchToRgb(reference, density.side, density.side), density.side), 0);
        }
    }
}

// A window moved to a screen of another density shows the picture sampled for that one;
// an error in the data was reported at the first paint and is not reported again.
TEST_F(DenseCanvas, AnotherDensityDecodesAgainWithoutRepeatingTheError) {
    const Bytes bytes = fixtures::WithFrameInScan(Make(kBaseline));
    const fixtures::Decoded reference = fixtures::ReferenceDecode(bytes, false);
    platform::TPicture picture;
    picture.LoadFromFile(Write(bytes));
    const Density& twice = kDensities[4];
    const Density& usual = kDensities[0];
    ASSERT_EQ(twice.ratio, 2.0);

    EXPECT_EQ(PaintDense(picture, twice).second, JpegError(JERR_SOF_DUPLICATE));
    for (const Density& density : {usual, twice}) {
        SCOPED_TRACE(density.name);
        const auto [shown, error] = PaintDense(picture, density);
        EXPECT_EQ(error, "");
        EXPECT_EQ(CountDifferent(shown, fixtures::StretchToRgb(reference, density.side, density.side), density.side),
                  0);
    }
}

}  // namespace
