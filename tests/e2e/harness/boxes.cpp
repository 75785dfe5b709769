#include "boxes.h"

#include <algorithm>
#include <thread>

namespace e2e {

using namespace std::chrono_literals;

bool SameImage(const Image& a, const Image& b) { return a.width == b.width && a.height == b.height && a.rgb == b.rgb; }

Image BoxFace(XClient& x, WindowId box) {
    auto face = [&] {
        Image shot = x.Screenshot(box);
        shot.height = std::max(0, shot.height - 50);
        shot.rgb.resize(static_cast<std::size_t>(shot.width) * shot.height * 3);
        return shot;
    };
    Image last = face();
    for (int attempt = 0; attempt < 50; ++attempt) {
        std::this_thread::sleep_for(100ms);
        Image next = face();
        if (SameImage(next, last)) break;
        last = std::move(next);
    }
    return last;
}

Image ReferenceFace(const Session& session, XClient& x, const std::filesystem::path& reference_program,
                    const std::string& caption, const std::string& text) {
    TempDir cwd;
    auto reference = session.Launch(reference_program, cwd.path(), {}, {caption, text});
    auto window = x.WaitForClient(reference->pid(), 15s);
    if (!window) return Image{};
    Image image = BoxFace(x, *window);
    reference->Stop();
    return image;
}

}  // namespace e2e
