// Placeholder until the JPEG graphic lands: no kinds registered, nothing drawn.
#include "platform/picture.h"

#include "platform/exception.h"

namespace platform {

class TGraphic {};

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::LoadFromFile(const std::string& filename) {
    throw Exception("no picture kinds are registered yet: " + filename);
}

void TPicture::Draw(QPainter&, const QRect&) {}

}  // namespace platform
