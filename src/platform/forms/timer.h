// TTimer: calls OnTimer every Interval milliseconds while Enabled, from whichever event
// loop of the thread runs (modal boxes included).
#pragma once

#include <QObject>

#include "platform/forms/classes.h"

namespace platform {

class TTimer : public QObject, public TComponent {
public:
    explicit TTimer(QObject* owner);
    ~TTimer() override;

    // Each setter restarts the count; they throw platform::Exception when no system
    // timer can be had.
    void SetEnabled(bool enabled);
    void SetInterval(unsigned milliseconds);
    void SetOnTimer(TNotifyEvent handler);
    bool Enabled() const { return enabled_; }
    unsigned Interval() const { return interval_; }
    // Whether a system timer is counting now.
    bool Active() const { return timer_id_ != 0; }

    void ReadProperty(const form::Property& property, TForm& root) override;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void UpdateTimer();

    bool enabled_ = true;
    unsigned interval_ = 1000;
    TNotifyEvent on_timer_;
    int timer_id_ = 0;
};

}  // namespace platform
