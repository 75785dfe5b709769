// Supports: TTimer on Qt's precise timers, with Interval, Enabled, OnTimer; the error when
// the thread has no timer service (Qt refuses: no event dispatcher, wrong thread).
#include "platform/forms/timer.h"

#include <QTimerEvent>
#include <limits>

#include "platform/exception.h"
#include "platform/forms/application.h"
#include "platform/forms/forms.h"

namespace platform {

namespace {
constexpr const char* kNoTimer = "タイマーを取得できません";
}

struct TimerProperties {
    static const PropertyTable<TTimer>& Table() {
        static const PropertyTable<TTimer> table = {
            {"Interval",
             [](TTimer& t, const form::Property& p, TForm&) {
                 t.SetInterval(static_cast<unsigned>(ReadInteger(t, p, 0, std::numeric_limits<std::int32_t>::max())));
             }},
            {"Enabled", [](TTimer& t, const form::Property& p, TForm&) { t.SetEnabled(ReadBoolean(t, p)); }},
            {"OnTimer", [](TTimer& t, const form::Property& p, TForm& root) { t.SetOnTimer(ReadEvent(t, p, root)); }},
            // Where the timer sat in the designer; it has no place on screen.
            {"Left", [](TTimer& t, const form::Property& p, TForm&) { ReadPosition(t, p); }},
            {"Top", [](TTimer& t, const form::Property& p, TForm&) { ReadPosition(t, p); }},
        };
        return table;
    }
};

TTimer::TTimer(QObject* owner) : QObject(owner) {}

TTimer::~TTimer() {
    if (timer_id_) killTimer(timer_id_);
}

void TTimer::SetEnabled(bool enabled) {
    enabled_ = enabled;
    UpdateTimer();
}

void TTimer::SetInterval(unsigned milliseconds) {
    interval_ = milliseconds;
    UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
    on_timer_ = std::move(handler);
    UpdateTimer();
}

void TTimer::UpdateTimer() {
    if (timer_id_) killTimer(timer_id_);
    timer_id_ = 0;
    if (!enabled_ || interval_ == 0 || !on_timer_) return;
    timer_id_ = startTimer(static_cast<int>(interval_), Qt::PreciseTimer);
    if (timer_id_ == 0) throw Exception(kNoTimer);
}

void TTimer::ReadProperty(const form::Property& property, TForm& root) {
    ReadFromTable<TTimer, TComponent>(TimerProperties::Table(), *this, property, root);
}

void TTimer::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timer_id_) return;
    Application().Dispatch([this, handler = on_timer_] { handler(this); });
}

}  // namespace platform
