// The JPEG picture as the picture control meets it: loaded from the file's bytes (the
// header check), then decoded and stretched at the first draw. The first input byte
// chooses the display the picture is made for, and with it the decode path: odd for a
// palette display (colours quantised), even for a true-colour one; its other bits choose
// the target size.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/exception.h"
#include "platform/picture/jpeg_image.h"

namespace {

constexpr int kPaletteDisplayBits = 8;
constexpr int kTrueColourDisplayBits = 24;

// Sizes that shrink, grow and distort, and the picture control's own. Small ones first:
// the seeds use them, and they keep the campaign fast.
constexpr QSize kTargets[] = {{64, 48}, {400, 400}, {1, 1}, {3, 97}, {97, 3}, {129, 127}, {640, 2}, {33, 33}};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t choice = data[0];
    const bool palette_display = (choice & 1) != 0;
    const QSize target = kTargets[(choice >> 1) % std::size(kTargets)];

    platform::TJPEGImage picture(palette_display ? kPaletteDisplayBits : kTrueColourDisplayBits);
    try {
        picture.LoadFromBytes(std::vector<std::uint8_t>(data + 1, data + size));
    } catch (const platform::Exception&) {
        return 0;
    }
    static QImage canvas(640, 400, QImage::Format_RGB32);
    QPainter painter(&canvas);
    try {
        picture.Draw(painter, QRect(QPoint(0, 0), target));
        // The second draw reuses the bitmap of the first.
        picture.Draw(painter, QRect(QPoint(0, 0), target));
    } catch (const platform::Exception&) {
    }
    return 0;
}
