// The main window: the picture, the blink timer and the story told in its title.
#pragma once

#include "platform/forms/forms.h"
#include "platform/forms/image.h"
#include "platform/forms/timer.h"
#include "story/story.h"

class TForm1 : public platform::TForm, private story::StoryHost, public story::Story {
public:
    TForm1();

    platform::TImage* Image1 = nullptr;
    platform::TTimer* Timer1 = nullptr;

    void FormCreate(platform::TObject* Sender);
    void Timer1Timer(platform::TObject* Sender);
    void Image1Click(platform::TObject* Sender);

    platform::TNotifyEvent FindMethod(std::string_view name) override;
    bool BindField(std::string_view name, platform::TComponent& component) override;

private:
    void SetTitle(std::string_view cp932) override;
    void StopTimer() override;
    void RequestTermination() override;
    void Pause(std::chrono::milliseconds duration) override;
};
