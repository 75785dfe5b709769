// The picture container behind TImage: finds the graphic kind by the file's extension,
// loads the file into it and draws it stretched. Qt types stay forward-declared.
#pragma once

#include <memory>
#include <string>

class QPainter;
class QRect;

namespace platform {

class TGraphic;
class GraphicRegistry;

class TPicture {
public:
    TPicture();
    ~TPicture();
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    // `filename` may use "\" as separator; messages show it as given. Throws
    // platform::Exception; the current graphic is replaced only on success.
    void LoadFromFile(const std::string& filename);
    void LoadFromFile(const std::string& filename, const GraphicRegistry& kinds);
    bool Empty() const { return graphic_ == nullptr; }
    TGraphic* Graphic() const { return graphic_.get(); }
    // Fills target with the picture stretched to it. Decodes on first use and may
    // throw platform::Exception; what was decoded so far stays and is drawn.
    void Draw(QPainter& painter, const QRect& target);

private:
    std::unique_ptr<TGraphic> graphic_;
};

// Bits per pixel of the display, as found the first time it is asked (at start);
// 24 without a display.
int DisplayBitsPerPixel();

}  // namespace platform
