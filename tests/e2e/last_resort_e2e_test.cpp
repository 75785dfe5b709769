// An error while the form is read: the last-resort box, then exit code 1.
#include <gtest/gtest.h>

#include <thread>

#include "session.h"
#include "xclient.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

bool SameImage(const Image& a, const Image& b) {
    return a.width == b.width && a.height == b.height && a.rgb == b.rgb;
}

// The box's face above its button row, where focus may be drawn.
Image BoxFace(XClient& x, WindowId box) {
    Image shot = x.Screenshot(box);
    shot.height = std::max(0, shot.height - 50);
    shot.rgb.resize(static_cast<std::size_t>(shot.width) * shot.height * 3);
    return shot;
}

TEST(LastResort, NoTimerShowsTheApplicationErrorBoxAndExits1) {
    const std::string caption = "アプリケーション エラー";
    Session session;
    TempDir cwd;
    XClient x(session.display());
    auto child = session.Launch(STARVED_TIMER_PROGRAM, cwd.path());

    auto box = x.WaitForClient(child->pid(), 15s, [&](const ClientInfo& c) { return c.title == caption; });
    ASSERT_TRUE(box);
    std::this_thread::sleep_for(300ms);
    for (const ClientInfo& c : x.Clients()) EXPECT_FALSE(c.pid == child->pid() && c.window != *box) << c.title;
    const Image face = BoxFace(x, *box);
    face.SavePng(std::filesystem::path(E2E_ARTIFACT_DIR) / "last-resort-box.png");

    auto reference = [&](const std::string& text) {
        auto other = session.Launch(REFERENCE_BOX, cwd.path(), {}, {caption, text});
        auto window = x.WaitForClient(other->pid(), 15s);
        if (!window) return Image{};
        std::this_thread::sleep_for(300ms);
        Image image = BoxFace(x, *window);
        other->Stop();
        return image;
    };
    EXPECT_TRUE(SameImage(face, reference("タイマーを取得できません.")));
    EXPECT_FALSE(SameImage(face, reference("タイマーを取得できません")));

    EXPECT_TRUE(child->Running()) << "the box waits for the user";
    x.Keys({"Return"});
    const auto status = child->WaitExit(10s);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->signal, 0);
    EXPECT_EQ(status->code, 1);
}

}  // namespace
}  // namespace e2e
