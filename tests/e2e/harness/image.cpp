#include "image.h"

#include <QImage>
#include <stdexcept>

namespace e2e {

void Image::SavePng(const std::filesystem::path& path) const {
    QImage image(rgb.data(), width, height, width * 3, QImage::Format_RGB888);
    if (!path.parent_path().empty()) std::filesystem::create_directories(path.parent_path());
    if (!image.save(QString::fromStdString(path.string()), "PNG"))
        throw std::runtime_error("cannot write " + path.string());
}

std::pair<int, int> PngSize(const std::filesystem::path& path) {
    QImage image;
    if (!image.load(QString::fromStdString(path.string()), "PNG")) return {0, 0};
    return {image.width(), image.height()};
}

std::filesystem::path ArtifactDir() {
    std::filesystem::path dir = E2E_ARTIFACT_DIR;
    std::filesystem::create_directories(dir);
    return dir;
}

}  // namespace e2e
