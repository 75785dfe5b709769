// TImage: a control that shows a picture stretched over its whole area and reports
// left-button clicks.
#pragma once

#include <QWidget>

#include "platform/forms/classes.h"
#include "platform/forms/clicks.h"
#include "platform/picture/picture.h"

namespace platform {

class TImage : public QWidget, public TComponent {
public:
    explicit TImage(TForm& owner);
    ~TImage() override;

    TPicture Picture;
    TNotifyEvent OnClick;

    void ReadProperty(const form::Property& property, TForm& root) override;
    // Scales position and size by multiplier / divisor.
    void ScaleBy(int multiplier, int divisor);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    friend struct ImageProperties;

    TForm& owner_;
    ClickTracker clicks_;
};

}  // namespace platform
