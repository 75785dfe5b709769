#include "shell/unit1.h"

#include "platform/forms/application.h"
#include "platform/music/mmsystem.h"
#include "platform/system.h"

namespace {
const platform::PublishedMethod<TForm1> kPublished[] = {
    {"FormCreate", &TForm1::FormCreate},
    {"Timer1Timer", &TForm1::Timer1Timer},
    {"Image1Click", &TForm1::Image1Click},
};
}  // namespace

TForm1::TForm1() : platform::TForm("TForm1"), story::Story(static_cast<story::StoryHost&>(*this)) {}

void TForm1::FormCreate(platform::TObject*) {
    StoryLine.assign(1, ' ');
    StoryStep = 0;
    Image1->Picture.LoadFromFile("[]\\balloonpicture.jpeg");
    // The music plays once in the background; whether it could is of no concern here.
    char no_reply[] = "";
    platform::mciSendStringA("open []\\xlkfnjxlxr.mid alias FILE", no_reply, 0, nullptr);
    platform::mciSendStringA("play FILE notify", no_reply, 0, nullptr);
}

void TForm1::Timer1Timer(platform::TObject*) { Refresh(); }

void TForm1::Image1Click(platform::TObject* Sender) {
    AdvanceStory();
    if (Telling()) Timer1Timer(Sender);
}

platform::TNotifyEvent TForm1::FindMethod(std::string_view name) {
    return platform::FindPublished(kPublished, *this, name);
}

bool TForm1::BindField(std::string_view name, platform::TComponent& component) {
    if (name == "Image1") return platform::BindPublished(Image1, component);
    if (name == "Timer1") return platform::BindPublished(Timer1, component);
    return false;
}

void TForm1::SetTitle(std::string_view cp932) { SetCaption(std::string(cp932)); }
void TForm1::StopTimer() { Timer1->SetEnabled(false); }
void TForm1::RequestTermination() { platform::Application().Terminate(); }
void TForm1::Pause(std::chrono::milliseconds duration) { platform::Sleep(duration); }
