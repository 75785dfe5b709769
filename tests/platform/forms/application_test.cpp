#include "platform/forms/application.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
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

TEST(XpmImage, ReadsWholeImagesAndRefusesCutOnes) {
    const char* const two_by_two =
        "/* XPM */\nstatic const char* const icon[] = {\n\"2 2 2 1\",\n\"  c None\",\n\". c #FF0000\",\n"
        "\". \",\n\" .\"\n};\n";
    const QImage image = platform::XpmImage(two_by_two);
    ASSERT_EQ(image.size(), QSize(2, 2));
    EXPECT_EQ(image.pixelColor(0, 0), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(1, 0).alpha(), 0);

    // Qt's array reader reads as many strings as the header promises, and as many
    // characters per row: short ones must not reach it.
    const char* const refused[] = {
        "",
        "\"2 2 2 1\", \"  c None\", \". c #FF0000\", \". \"",          // a row missing
        "\"2 2 2 1\", \"  c None\", \". c #FF0000\", \". \", \".\"",   // a row too short
        "\"2 2 3 1\", \"  c None\", \". c #FF0000\", \". \", \" .\"",  // a colour missing
        "\"2 2\", \"  c None\", \". \", \" .\"",                       // no colour count
        "\"0 2 1 1\", \"  c None\", \"\", \"\"",                       // no width
        "\"2 2 1 1\", \"  c None\", \"  \", \"  ",                     // a string not closed
    };
    for (const char* text : refused) EXPECT_TRUE(platform::XpmImage(text).isNull()) << text;
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
