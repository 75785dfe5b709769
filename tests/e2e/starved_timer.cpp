// The program, except that its timer lives in a thread that never runs an event loop,
// so no system timer can be had for it while the form is read.
#include <QThread>

#include "platform/forms/application.h"
#include "platform/forms/timer.h"
#include "shell/unit1.h"

namespace {

platform::TComponent* StarvedTimer(platform::TForm&) {
    static QThread idle;  // never started
    auto* timer = new platform::TTimer(nullptr);
    timer->moveToThread(&idle);
    return timer;
}

}  // namespace

int main(int argc, char* argv[]) {
    return platform::TApplication::Main(argc, argv, [](platform::TApplication& application) {
        platform::RegisterClass("TTimer", &StarvedTimer);
        application.CreateForm<TForm1>();
    });
}
