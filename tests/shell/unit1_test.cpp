#include "shell/unit1.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>

#include "platform/forms/application.h"
#include "story_table.h"

namespace {

// A left click on Image1, each one a second after the last so none pairs into a double-click.
void Click(TForm1& form) {
    static ulong time = 5'000'000;
    time += 1000;
    const QPointF at(200, 200);
    QMouseEvent press(QEvent::MouseButtonPress, at, at, at, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    press.setTimestamp(time);
    QCoreApplication::sendEvent(form.Image1, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, at, at, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    release.setTimestamp(time + 50);
    QCoreApplication::sendEvent(form.Image1, &release);
}

// The program's application object, with errors failing the test instead of opening a box.
struct TestApplication : platform::TApplication {
    TestApplication() : platform::TApplication("balloonstory") {
        OnException = [](const std::string& message) { ADD_FAILURE() << "error box: " << message; };
    }
};

using story_table::Composed;
using story_table::kEndStep;
using story_table::kStopStep;

TEST(Form1, StoredDescriptionAndCreation) {
    TestApplication application;
    TForm1& form = application.CreateForm<TForm1>();
    EXPECT_EQ(application.MainForm(), &form);
    EXPECT_EQ(form.StoryLine, " ");
    EXPECT_EQ(form.StoryStep, 0);
    EXPECT_EQ(form.Caption(), "") << "the title stays empty until the first refresh";
    ASSERT_NE(form.Image1, nullptr);
    ASSERT_NE(form.Timer1, nullptr);
    EXPECT_EQ(form.Timer1->Interval(), 1300u);
    EXPECT_TRUE(form.Timer1->Active());
    EXPECT_EQ(form.Image1->geometry(), QRect(0, 0, 400, 400));
    EXPECT_EQ(form.size(), QSize(400, 400));
    EXPECT_EQ(form.pos(), QPoint(242, 135));
    EXPECT_FALSE(form.isVisible()) << "the loop shows the window, not creation";
}

TEST(Form1, ClicksTellTheStoryToItsEnd) {
    TestApplication application;
    TForm1& form = application.CreateForm<TForm1>();

    Click(form);
    EXPECT_EQ(form.StoryStep, 1);
    EXPECT_EQ(form.Caption(), Composed("\x82\xcb"));  // ね
    EXPECT_EQ(form.windowTitle().toStdString(),
              "((((((((((((((((     ねねねねねねねねねねねねねねねね     ))))))))))))))))     ");

    while (form.StoryStep < kStopStep - 1) Click(form);
    EXPECT_TRUE(form.Timer1->Active());
    const std::string before_stop = form.Caption();
    EXPECT_EQ(before_stop, Composed(" "));

    Click(form);
    EXPECT_EQ(form.StoryStep, kStopStep);
    EXPECT_FALSE(form.Timer1->Active());
    EXPECT_FALSE(form.Timer1->Enabled());
    EXPECT_EQ(form.Caption(), before_stop) << "no refresh once the story stops";

    Click(form);
    EXPECT_EQ(form.windowTitle().toStdString(), story_table::Frame(78));
    Click(form);
    EXPECT_EQ(form.windowTitle().toStdString(), story_table::Frame(79));

    while (form.StoryStep < kEndStep - 1) Click(form);
    EXPECT_FALSE(application.Terminated());
    const std::string last_frame = form.Caption();
    Click(form);
    EXPECT_EQ(form.StoryStep, kEndStep);
    EXPECT_TRUE(application.Terminated());
    Click(form);
    EXPECT_EQ(form.StoryStep, kEndStep) << "no handler runs once termination is requested";
    EXPECT_EQ(form.Caption(), last_frame);
}

TEST(Form1, ClosingTheWindowEndsTheProgramWithoutATitleChange) {
    TestApplication application;
    TForm1& form = application.CreateForm<TForm1>();
    form.show();
    Click(form);
    const std::string title = form.Caption();
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(application.Terminated());
    Click(form);  // an event queued behind the close
    EXPECT_EQ(application.Run(), 0);
    EXPECT_EQ(form.StoryStep, 1);
    EXPECT_EQ(form.Caption(), title);
}

}  // namespace
