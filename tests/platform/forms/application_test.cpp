#include "platform/forms/application.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "platform/exception.h"
#include "platform/forms/timer.h"

namespace {

TEST(ApplicationTitle, ComesFromTheProgramFileName) {
    const struct {
        const char* path;
        const char* title;
    } cases[] = {
        {"balloonstory", "Balloonstory"},
        {"/work/build/balloonstory", "Balloonstory"},
        {"./BALLOONSTORY", "Balloonstory"},
        {"balloonStory.x86_64.bin", "Balloonstory"},
        {"/opt/story.d/balloon", "Balloon"},  // a dot in a directory does not cut
        {"ä-Ö", "Ä-ö"},
        {"x", "X"},
        {".hidden", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::ApplicationTitle(c.path), c.title) << c.path;
}

TEST(ErrorBoxText, AddsAFullStopAfterCharactersAboveIt) {
    const struct {
        const char* message;
        const char* shown;
    } cases[] = {
        {"", ""},
        {"Done.", "Done."},
        {"JPEG error #53", "JPEG error #53."},
        {"cannot open file", "cannot open file."},
        {"タイマーを取得できません", "タイマーを取得できません."},
        {"Stop!", "Stop!"},
        {"(see above)", "(see above)"},
        {"trailing space ", "trailing space "},
        {"a/b", "a/b."},
        {"\xff", "\xff."},  // not UTF-8: the byte itself counts
    };
    for (const auto& c : cases) EXPECT_EQ(platform::ErrorBoxText(c.message), c.shown) << c.message;
}

TEST(Application, TerminationWaitsForTheRunningHandlerAndStopsLaterOnes) {
    platform::TApplication application("termination");
    std::vector<std::string> ran;
    QTimer::singleShot(0, [&] {
        application.Dispatch([&] {
            application.Terminate();
            ran.push_back("terminating handler ran to its end");
        });
    });
    QTimer::singleShot(0, [&] { application.Dispatch([&] { ran.push_back("later handler"); }); });
    EXPECT_EQ(application.Run(), 0);
    EXPECT_EQ(ran, std::vector<std::string>{"terminating handler ran to its end"});
    EXPECT_TRUE(application.Terminated());
}

TEST(Application, ErrorsLeavingHandlersGoToOnException) {
    platform::TApplication application("errors");
    std::vector<std::string> messages;
    application.OnException = [&](const std::string& message) { messages.push_back(message); };
    application.Dispatch([] { throw platform::Exception("bad picture"); });
    application.Dispatch([] { throw 42; });
    application.Dispatch([] {});
    EXPECT_EQ(messages, (std::vector<std::string>{"bad picture", "unknown error"}));
}

// The box itself, inspected while its modal loop runs; timers keep ticking meanwhile.
TEST(Application, ErrorBoxIsModalCriticalWithOkAndTheTitle) {
    platform::TApplication application("/usr/bin/balloonstory");
    platform::TTimer ticker(nullptr);
    int ticks = 0;
    ticker.SetInterval(10);
    ticker.SetOnTimer([&](platform::TObject*) { ++ticks; });

    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::WindowModality modality = Qt::NonModal;
    QMessageBox::StandardButtons buttons;
    int ticks_while_open = 0;
    QTimer::singleShot(300, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        text = box->text();
        icon = box->icon();
        modality = box->windowModality();
        buttons = box->standardButtons();
        EXPECT_EQ(box->buttons().size(), 1);
        ticks_while_open = ticks;
        box->accept();
    });
    application.ShowException("画像を読み込めません");
    EXPECT_EQ(caption, "Balloonstory");
    EXPECT_EQ(text, QString::fromUtf8("画像を読み込めません."));
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(modality, Qt::ApplicationModal);
    EXPECT_EQ(buttons, QMessageBox::Ok);
    EXPECT_GE(ticks_while_open, 5);
}

}  // namespace
