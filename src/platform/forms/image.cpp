// Supports: TImage with Left, Top, Width, Height, Stretch (stretched drawing only) and
// OnClick; the form colour where there is no picture; paint errors to the error box;
// clicks by the left button with the system's double-click time and distance.
#include "platform/forms/image.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleHints>
#include <QTimer>

#include "platform/forms/application.h"
#include "platform/forms/forms.h"

namespace platform {

namespace {
int MulDiv(int value, int multiplier, int divisor) {
    const long long product = static_cast<long long>(value) * multiplier;
    return static_cast<int>((product + (product >= 0 ? divisor / 2 : -divisor / 2)) / divisor);
}
}  // namespace

struct ImageProperties {
    static const PropertyTable<TImage>& Table() {
        static const PropertyTable<TImage> table = {
            {"Left", [](TImage& i, const form::Property& p, TForm&) { i.move(ReadPosition(i, p), i.y()); }},
            {"Top", [](TImage& i, const form::Property& p, TForm&) { i.move(i.x(), ReadPosition(i, p)); }},
            {"Width", [](TImage& i, const form::Property& p, TForm&) { i.resize(ReadExtent(i, p), i.height()); }},
            {"Height", [](TImage& i, const form::Property& p, TForm&) { i.resize(i.width(), ReadExtent(i, p)); }},
            {"Stretch",
             [](TImage& i, const form::Property& p, TForm&) {
                 if (!ReadBoolean(i, p)) ReadError(i, p, "only stretched drawing is supported");
             }},
            {"OnClick", [](TImage& i, const form::Property& p, TForm& root) { i.OnClick = ReadEvent(i, p, root); }},
        };
        return table;
    }
};

TImage::TImage(TForm& owner) : QWidget(&owner), owner_(owner) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Designer default size until the description says otherwise.
    resize(105, 105);
}

TImage::~TImage() = default;

void TImage::ReadProperty(const form::Property& property, TForm& root) {
    ReadFromTable<TImage, TComponent>(ImageProperties::Table(), *this, property, root);
}

void TImage::ScaleBy(int multiplier, int divisor) {
    setGeometry(MulDiv(x(), multiplier, divisor), MulDiv(y(), multiplier, divisor),
                MulDiv(width(), multiplier, divisor), MulDiv(height(), multiplier, divisor));
}

void TImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), owner_.Color());
    if (Picture.Empty()) return;
    try {
        Picture.Draw(painter, rect());
    } catch (...) {
        // A modal box cannot open inside a paint; report once the paint is over.
        QTimer::singleShot(0, qApp, [error = std::current_exception()] { Application().HandleException(error); });
    }
}

void TImage::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QStyleHints* hints = QGuiApplication::styleHints();
    const QPoint pos = event->position().toPoint();
    clicks_.Press(pos.x(), pos.y(), event->timestamp(),
                  {hints->mouseDoubleClickInterval(), hints->mouseDoubleClickDistance()});
}

void TImage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (!clicks_.Release(rect().contains(event->position().toPoint()))) return;
    if (OnClick) Application().Dispatch([this, handler = OnClick] { handler(this); });
}

// Qt delivers the second press of a pair both as a press and as this event; the press
// has already been counted.
void TImage::mouseDoubleClickEvent(QMouseEvent*) {}

}  // namespace platform
