// Graphic kinds for the picture container: the graphic interface and the registry that
// maps file extensions to kinds. Qt types stay forward-declared.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

class QPainter;
class QRect;

namespace platform {

class TGraphic {
public:
    virtual ~TGraphic() = default;
    // Keeps the source for as long as the graphic needs its data: reads what it must at
    // once and the rest when first drawn. Throws platform::Exception when the data cannot
    // be used.
    virtual void Load(std::unique_ptr<ByteSource> source) = 0;
    void LoadFromBytes(std::vector<std::uint8_t> bytes) { Load(std::make_unique<MemorySource>(std::move(bytes))); }
    // Fills target with the graphic stretched to it; may throw platform::Exception
    // after drawing what it has.
    virtual void Draw(QPainter& painter, const QRect& target) = 0;
};

struct GraphicKind {
    std::string extension;
    std::string description;
    // Empty for kinds that are known by name but have no decoder here.
    std::function<std::unique_ptr<TGraphic>()> create;
};

class GraphicRegistry {
public:
    void Register(std::string extension, std::string description, std::function<std::unique_ptr<TGraphic>()> create);
    // Case-insensitive; the most recently registered kind wins.
    const GraphicKind* Find(std::string_view extension) const;

    // The kinds every picture knows, JPEG among them.
    static const GraphicRegistry& Standard();

private:
    std::vector<GraphicKind> kinds_;
};

}  // namespace platform
