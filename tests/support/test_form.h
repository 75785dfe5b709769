// A form class of the tests' own, with the published fields and handlers descriptions bind.
#pragma once

#include <string>

#include "platform/forms/forms.h"
#include "platform/forms/image.h"
#include "platform/forms/timer.h"

class TTestForm : public platform::TForm {
public:
    TTestForm() : platform::TForm("TTestForm") {}

    platform::TImage* Image1 = nullptr;
    platform::TTimer* Timer1 = nullptr;
    int created = 0;
    int clicks = 0;
    int ticks = 0;

    void FormMade(platform::TObject*) { ++created; }
    void Clicked(platform::TObject*) { ++clicks; }
    void Ticked(platform::TObject*) { ++ticks; }

    platform::TNotifyEvent FindMethod(std::string_view name) override {
        static const platform::PublishedMethod<TTestForm> published[] = {
            {"FormMade", &TTestForm::FormMade},
            {"Clicked", &TTestForm::Clicked},
            {"Ticked", &TTestForm::Ticked},
        };
        return platform::FindPublished(published, *this, name);
    }
    bool BindField(std::string_view name, platform::TComponent& component) override {
        if (name == "Image1") return platform::BindPublished(Image1, component);
        if (name == "Timer1") return platform::BindPublished(Timer1, component);
        return false;
    }
};

// A description like the program's own, with the test form's handlers.
inline std::string TestDescription(const std::string& form_extra = "", const std::string& image_extra = "",
                                   const std::string& timer_extra = "") {
    return "object Form1: TTestForm\n"
           "  Left = 242\n"
           "  Top = 135\n"
           "  Width = 408\n"
           "  Height = 429\n"
           "  AutoSize = True\n"
           "  Color = clBtnFace\n"
           "  Font.Charset = SHIFTJIS_CHARSET\n"
           "  Font.Color = clWindowText\n"
           "  Font.Height = -12\n"
           "  Font.Name = 'ＭＳ Ｐゴシック'\n"
           "  Font.Style = []\n"
           "  OldCreateOrder = False\n"
           "  OnCreate = FormMade\n"
           "  PixelsPerInch = 96\n"
           "  TextHeight = 12\n" +
           form_extra +
           "  object Image1: TImage\n"
           "    Left = 0\n"
           "    Top = 0\n"
           "    Width = 400\n"
           "    Height = 400\n"
           "    Stretch = True\n"
           "    OnClick = Clicked\n" +
           image_extra +
           "  end\n"
           "  object Timer1: TTimer\n"
           "    Interval = 1300\n"
           "    OnTimer = Ticked\n"
           "    Left = 16\n"
           "    Top = 16\n" +
           timer_extra +
           "  end\n"
           "end\n";
}
