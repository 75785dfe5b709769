// The JPEG graphic: checks the header at load and decodes at the first draw into a bitmap
// of the target's size in device pixels; again only when that size changes (a screen of
// another density). The source is kept for those decodes and read only as far as the
// picture goes, so a file's size beyond its picture costs nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/picture/graphic.h"
#include "platform/x11/palette_screen.h"

class QImage;

namespace platform {

class TJPEGImage : public TGraphic {
public:
    // Pictures are quantised to a palette on displays of at most 8 bits per pixel.
    explicit TJPEGImage(int display_bits_per_pixel);
    ~TJPEGImage() override;

    void Load(std::unique_ptr<ByteSource> source) override;
    void Draw(QPainter& painter, const QRect& target) override;

private:
    int display_bits_;
    std::unique_ptr<ByteSource> source_;
    bool decoded_ = false;
    int decoded_width_ = 0;  // in device pixels
    int decoded_height_ = 0;
    std::unique_ptr<QImage> bitmap_;
    PaletteScreenImage palette_screen_;
};

}  // namespace platform
