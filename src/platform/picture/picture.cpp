// The picture container: loading a file, held under a shared lock, into the graphic kind
// its extension names, and drawing. Paths may use "\" as separator.
#include "platform/picture/picture.h"

#include <QGuiApplication>
#include <QScreen>

#include "platform/exception.h"
#include "platform/files.h"
#include "platform/picture/graphic.h"

namespace platform {
namespace {

[[noreturn]] void ThrowUnknownKind(const std::string& extension) {
    throw Exception("拡張子 ." + extension + " の画像形式は処理できません");
}

}  // namespace

int DisplayBitsPerPixel() {
    static const int bits = [] {
        const QScreen* screen =
            qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::primaryScreen() : nullptr;
        return screen ? screen->depth() : 24;
    }();
    return bits;
}

TPicture::TPicture() {
    // The display's depth decides how pictures are decoded; take it as it is now.
    DisplayBitsPerPixel();
}

TPicture::~TPicture() = default;

void TPicture::LoadFromFile(const std::string& filename) { LoadFromFile(filename, GraphicRegistry::Standard()); }

void TPicture::LoadFromFile(const std::string& filename, const GraphicRegistry& kinds) {
    const std::string extension = FileExtension(filename);
    const GraphicKind* kind = kinds.Find(extension);
    if (!kind || !kind->create) ThrowUnknownKind(extension);
    std::unique_ptr<TGraphic> graphic = kind->create();
    graphic->Load(std::make_unique<SharedFile>(filename));
    graphic_ = std::move(graphic);
}

void TPicture::Draw(QPainter& painter, const QRect& target) {
    if (graphic_) graphic_->Draw(painter, target);
}

}  // namespace platform
