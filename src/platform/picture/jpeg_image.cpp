// The JPEG graphic on Qt: the decoded bitmap becomes a QImage (24-bit RGB, or 8-bit
// with the quantiser's palette) at the target's size in device pixels, drawn unscaled;
// on palette screens, where Qt cannot paint, it goes through Xlib.
#include "platform/picture/jpeg_image.h"

#include <QImage>
#include <QPainter>
#include <QRect>
#include <QSizeF>
#include <QWidget>

#include <string>

#include "platform/exception.h"
#include "platform/jpeg/jpeg_decoder.h"

namespace platform {
namespace {

[[noreturn]] void ThrowJpegError(int code) { throw Exception("JPEG エラー #" + std::to_string(code)); }

std::unique_ptr<QImage> ToImage(const jpeg::Stretched& picture) {
    if (picture.width == 0) return nullptr;
    const int w = picture.width;
    const int h = picture.height;
    const int bytes_per_line = picture.indexed ? w : 3 * w;
    auto image = std::make_unique<QImage>(w, h, picture.indexed ? QImage::Format_Indexed8 : QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        std::copy_n(picture.pixels.data() + static_cast<std::size_t>(y) * bytes_per_line, bytes_per_line,
                    image->scanLine(y));
    if (picture.indexed) {
        QList<QRgb> colours;
        for (std::size_t i = 0; i + 2 < picture.palette.size(); i += 3)
            colours.push_back(qRgb(picture.palette[i], picture.palette[i + 1], picture.palette[i + 2]));
        image->setColorTable(colours);
    }
    return image;
}

}  // namespace

TJPEGImage::TJPEGImage(int display_bits_per_pixel) : display_bits_(display_bits_per_pixel) {}

TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::Load(std::unique_ptr<ByteSource> source) {
    // An empty file loads; it fails only when it is drawn.
    jpeg::Header header;
    std::uint8_t first = 0;
    int code = 0;
    if (source->ReadAt(0, {&first, 1}) != 0) code = jpeg::ReadHeader(*source, header);
    // A file that cannot be read says so, whatever libjpeg made of what it got.
    source->ThrowIfReadFailed();
    if (code != 0) ThrowJpegError(code);
    source_ = std::move(source);
    decoded_ = false;
    decoded_width_ = decoded_height_ = 0;
    bitmap_.reset();
}

void TJPEGImage::Draw(QPainter& painter, const QRect& target) {
    // Sampled straight to the device's pixels: on a dense screen the picture's own
    // detail shows, instead of a bitmap at the logical size blown up.
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize device_size = (QSizeF(target.size()) * ratio).toSize();
    int code = 0;
    if (!target.isEmpty() &&
        (!decoded_ || decoded_width_ != device_size.width() || decoded_height_ != device_size.height())) {
        // A window moved to a screen of another density decodes again at its new size;
        // an error in the data was reported at the first decode and is not again.
        const bool first = !decoded_;
        decoded_ = true;
        decoded_width_ = device_size.width();
        decoded_height_ = device_size.height();
        jpeg::Stretched picture;
        if (source_)
            code =
                jpeg::DecodeStretched(*source_, device_size.width(), device_size.height(), display_bits_ <= 8, picture);
        if (!first) code = 0;
        bitmap_ = ToImage(picture);
        if (bitmap_) bitmap_->setDevicePixelRatio(ratio);
    }
    if (bitmap_) {
        if (painter.isActive()) {
            painter.drawImage(target.topLeft(), *bitmap_);
        } else if (auto* widget = dynamic_cast<QWidget*>(painter.device())) {
            // Qt cannot paint on palette screens; the bitmap is indexed there.
            palette_screen_.Put(*widget, target.x(), target.y(), *bitmap_);
        }
    }
    if (code != 0) ThrowJpegError(code);
}

}  // namespace platform
