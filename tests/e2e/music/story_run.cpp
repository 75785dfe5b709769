#include "story_run.h"

#include <thread>

namespace e2e {

using namespace std::chrono_literals;

std::filesystem::path PrepareStory(const std::filesystem::path& dir) {
    std::filesystem::copy(std::filesystem::path(SAMPLE_DIR) / "[]", dir / "[]",
                          std::filesystem::copy_options::recursive);
    return dir / "[]" / "xlkfnjxlxr.mid";
}

std::chrono::steady_clock::time_point ClickThroughTheStory(XClient& x, WindowId window) {
    for (int i = 0; i < 99 && x.Exists(window); ++i) {
        x.Click(window, i % 2 ? 80 : 320, i % 2 ? 80 : 320);
        std::this_thread::sleep_for(110ms);
    }
    x.Click(window, 80, 80);
    return std::chrono::steady_clock::now();
}

}  // namespace e2e
