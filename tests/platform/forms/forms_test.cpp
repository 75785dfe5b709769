#include "platform/forms/forms.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFontInfo>
#include <memory>

#include "platform/exception.h"
#include "test_form.h"

namespace {

std::unique_ptr<TTestForm> Read(const std::string& text) {
    auto form = std::make_unique<TTestForm>();
    form->ReadDescription(text);
    return form;
}

TEST(FormReader, GoodDescriptionBuildsTheForm) {
    const auto form = Read(TestDescription());
    EXPECT_EQ(form->Name, "Form1");
    ASSERT_NE(form->Image1, nullptr);
    ASSERT_NE(form->Timer1, nullptr);
    EXPECT_EQ(form->Image1->Name, "Image1");
    EXPECT_EQ(form->Image1->parentWidget(), form.get());
    EXPECT_EQ(form->Image1->geometry(), QRect(0, 0, 400, 400));
    EXPECT_EQ(form->Timer1->parent(), form.get());
    EXPECT_EQ(form->Timer1->Interval(), 1300u);
    EXPECT_TRUE(form->Timer1->Enabled());
    EXPECT_TRUE(form->Timer1->Active()) << "the timer counts from the moment it is read";
    EXPECT_EQ(form->pos(), QPoint(242, 135));
    EXPECT_EQ(form->size(), QSize(400, 400)) << "AutoSize fits the client area to Image1";
    EXPECT_EQ(form->minimumSize(), QSize(400, 400));
    EXPECT_EQ(form->maximumSize(), QSize(400, 400));
    EXPECT_EQ(form->Color(), QColor(240, 240, 240));
    EXPECT_EQ(QFontInfo(form->FormFont()).family(), "IPAPGothic");
    EXPECT_EQ(form->MeasuredTextHeight(), 12);
    EXPECT_EQ(form->created, 0) << "OnCreate runs after reading, from Create";
    EXPECT_FALSE(form->isVisible());
}

TEST(FormReader, BadDescriptionsAreRefusedWithClearTexts) {
    const struct {
        std::string text;
        const char* expected;
    } cases[] = {
        {TestDescription("  object Button1: TButton\n  end\n"), "class TButton is not registered"},
        {TestDescription("  Sizeable = True\n"), "line 17: Form1.Sizeable: no such property"},
        {TestDescription("", "    Proportional = True\n"), "Image1.Proportional: no such property"},
        {TestDescription("", "", "    Tag = 1\n"), "Timer1.Tag: no such property"},
        {TestDescription("", "", "    Enabled = 1\n"), "Timer1.Enabled: expected True or False"},
        {TestDescription("  OnClick = FormMade\n"), "Form1.OnClick: no such property"},
        {TestDescription("", "    OnClick = Image1Click\n"), "Image1.OnClick: TTestForm has no handler Image1Click"},
        {TestDescription("", "", "    Interval = 'fast'\n"), "Timer1.Interval: expected a number"},
        {TestDescription("", "", "    Interval = -1\n"), "Timer1.Interval: value out of range"},
        {TestDescription("  Color = clPurple\n"), "Form1.Color: unknown colour clPurple"},
        {TestDescription("  Font.Height = 0\n"), "Form1.Font.Height: a font height cannot be 0"},
        {TestDescription("  Font.Style = [fsShadow]\n"), "unknown font style fsShadow"},
        {TestDescription("  Font.Name = Gothic\n"), "Form1.Font.Name: expected a quoted string"},
        {TestDescription("", "    Stretch = False\n"), "Image1.Stretch: only stretched drawing is supported"},
        {TestDescription("", "    object Inner: TImage\n    end\n"), "Image1 cannot hold other components"},
        {"object Form1: TForm9\nend\n", "describes TForm9, not TTestForm"},
        {"object Form1: TTestForm\n  object Image1: TTimer\n  end\nend\n",
         "component Image1 does not have the class of its field"},
    };
    for (const auto& c : cases) {
        try {
            Read(c.text);
            ADD_FAILURE() << "accepted, expected: " << c.expected;
        } catch (const platform::Exception& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos)
                << "got: " << e.what() << "\nexpected: " << c.expected;
        }
    }
}

TEST(FormReader, ComponentsWithoutAFieldAreKeptButNotBound) {
    const auto form = Read(
        "object Form1: TTestForm\n"
        "  AutoSize = True\n"
        "  object Picture2: TImage\n"
        "    Left = 10\n"
        "    Top = 20\n"
        "    Width = 30\n"
        "    Height = 40\n"
        "  end\n"
        "end\n");
    EXPECT_EQ(form->Image1, nullptr);
    EXPECT_EQ(form->size(), QSize(40, 60)) << "AutoSize reaches the right and bottom edges of the controls";
}

TEST(FormReader, LayoutScalesWithTheMeasuredTextHeight) {
    // Twice the stored text height: the stored layout until the form follows the measured
    // height, then everything doubles, and the window follows; once only.
    const auto form = Read(TestDescription("  Font.Height = -24\n"));
    EXPECT_EQ(form->size(), QSize(400, 400));
    EXPECT_EQ(form->MeasuredTextHeight(), 24);
    for (int i = 0; i < 2; ++i) {
        form->FollowTextHeight();
        EXPECT_EQ(form->Image1->geometry(), QRect(0, 0, 800, 800));
        EXPECT_EQ(form->size(), QSize(800, 800));
    }
    // The stored height measured: nothing moves.
    const auto same = Read(TestDescription());
    same->FollowTextHeight();
    EXPECT_EQ(same->size(), QSize(400, 400));
}

TEST(FormReader, MeasuredTextHeightIsTheSizeTheFontIsMadeAt) {
    // Scalable fonts are not opened to measure them: the answer must still be what the
    // font system gives when it opens them, for installed fonts and for missing ones.
    for (const char* family : {"IPAPGothic", "DejaVu Sans", "No Such Family"}) {
        for (int pixels : {9, 12, 16, 24}) {
            const auto form = Read(
                TestDescription("  Font.Height = -" + std::to_string(pixels) + "\n  Font.Name = '" + family + "'\n"));
            EXPECT_EQ(form->MeasuredTextHeight(), QFontInfo(form->FormFont()).pixelSize()) << family << " " << pixels;
        }
    }
}

TEST(FormWindow, OtherSizesAreForcedBack) {
    const auto form = Read(TestDescription());
    form->show();
    form->resize(600, 500);
    EXPECT_EQ(form->size(), QSize(400, 400));
    form->setWindowState(Qt::WindowMaximized);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(form->size(), QSize(400, 400));
    EXPECT_FALSE(form->windowState() & Qt::WindowMaximized);
}

TEST(FormWindow, CaptionIsConvertedFromCodePage932) {
    const auto form = Read(TestDescription());
    form->SetCaption("(\x82\xcb\x81\x40)");  // "(ね　)"
    EXPECT_EQ(form->Caption(), "(\x82\xcb\x81\x40)");
    EXPECT_EQ(form->windowTitle(), QString::fromUtf8("(ね\u3000)"));
    form->SetCaption("");
    EXPECT_TRUE(form->windowTitle().isEmpty());
}

}  // namespace
