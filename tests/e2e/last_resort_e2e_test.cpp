// An error while the form is read: the last-resort box, then exit code 1.
#include <gtest/gtest.h>

#include "boxes.h"
#include "session.h"
#include "xclient.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

TEST(LastResort, NoTimerShowsTheApplicationErrorBoxAndExits1) {
    const std::string caption = "アプリケーション エラー";
    Session session;
    TempDir cwd;
    XClient x(session.display());
    auto child = session.Launch(STARVED_TIMER_PROGRAM, cwd.path());

    auto box = x.WaitForClient(child->pid(), 15s, [&](const ClientInfo& c) { return c.title == caption; });
    ASSERT_TRUE(box);
    for (const ClientInfo& c : x.Clients()) EXPECT_FALSE(c.pid == child->pid() && c.window != *box) << c.title;
    const Image face = BoxFace(x, *box);
    face.SavePng(std::filesystem::path(E2E_ARTIFACT_DIR) / "last-resort-box.png");

    auto reference = [&](const std::string& text) { return ReferenceFace(session, x, REFERENCE_BOX, caption, text); };
    EXPECT_TRUE(SameImage(face, reference("タイマーを取得できません.")));
    EXPECT_FALSE(SameImage(face, reference("タイマーを取得できません")));

    EXPECT_TRUE(child->Running()) << "the box waits for the user";
    x.Click(*box, 5, 5);  // focus back from the reference boxes
    x.Keys({"Return"});
    const auto status = child->WaitExit(10s);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->signal, 0);
    EXPECT_EQ(status->code, 1);
}

}  // namespace
}  // namespace e2e
