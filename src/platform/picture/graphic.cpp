// The graphic kinds: JPEG decoded; Windows metafiles, icons and bitmaps known by name only.
#include "platform/picture/graphic.h"

#include "platform/ascii.h"
#include "platform/picture/jpeg_image.h"
#include "platform/picture/picture.h"

namespace platform {

void GraphicRegistry::Register(std::string extension, std::string description,
                               std::function<std::unique_ptr<TGraphic>()> create) {
    kinds_.push_back({std::move(extension), std::move(description), std::move(create)});
}

const GraphicKind* GraphicRegistry::Find(std::string_view extension) const {
    for (auto it = kinds_.rbegin(); it != kinds_.rend(); ++it)
        if (EqualIgnoringAsciiCase(it->extension, extension)) return &*it;
    return nullptr;
}

const GraphicRegistry& GraphicRegistry::Standard() {
    static const GraphicRegistry registry = [] {
        GraphicRegistry r;
        r.Register("wmf", "メタファイル", nullptr);
        r.Register("emf", "拡張メタファイル", nullptr);
        r.Register("ico", "アイコン", nullptr);
        r.Register("bmp", "ビットマップ", nullptr);
        auto jpeg = [] { return std::make_unique<TJPEGImage>(DisplayBitsPerPixel()); };
        r.Register("jpeg", "JPEG イメージファイル", jpeg);
        r.Register("jpg", "JPEG イメージファイル", jpeg);
        return r;
    }();
    return registry;
}

}  // namespace platform
