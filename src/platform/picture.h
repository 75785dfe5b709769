// The picture container behind TImage: a registry of graphic kinds by file extension,
// loading from a file and drawing stretched. Qt types stay forward-declared.
#pragma once

#include <memory>
#include <string>

class QPainter;
class QRect;

namespace platform {

class TGraphic;

class TPicture {
public:
    TPicture();
    ~TPicture();
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    // Throws platform::Exception; the current graphic is replaced only on success.
    void LoadFromFile(const std::string& filename);
    bool Empty() const { return graphic_ == nullptr; }
    // Fills target with the picture stretched to it. May decode on first use and
    // throw platform::Exception; what was drawn so far stays.
    void Draw(QPainter& painter, const QRect& target);

private:
    std::unique_ptr<TGraphic> graphic_;
};

}  // namespace platform
