// Supports: TForm read from its stored description (Left, Top, Width, Height, AutoSize,
// Color, Font.*, OldCreateOrder, OnCreate, PixelsPerInch, TextHeight), child components
// by class name bound to published fields, a window that keeps the size of its controls,
// the title set from code page 932, and closing the main form ending the program.
#include "platform/forms/forms.h"

#include <QCloseEvent>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QResizeEvent>
#include <QTimer>
#include <algorithm>
#include <map>

#include "platform/forms/application.h"
#include "platform/forms/codepage.h"
#include "platform/forms/image.h"
#include "platform/forms/timer.h"
#include "platform/x11/xwindow.h"

namespace platform {

namespace {

// clBtnFace, also the form's colour until its description gives one.
const QColor kButtonFace(240, 240, 240);

// Fonts named by descriptions made elsewhere, and the metric-compatible ones Debian ships.
const std::map<std::string, std::string, std::less<>>& FontSubstitutes() {
    static const std::map<std::string, std::string, std::less<>> table = {
        {"ＭＳ Ｐゴシック", "IPAPGothic"}, {"MS PGothic", "IPAPGothic"},  {"ＭＳ ゴシック", "IPAGothic"},
        {"MS Gothic", "IPAGothic"},        {"ＭＳ Ｐ明朝", "IPAPMincho"}, {"ＭＳ 明朝", "IPAMincho"},
    };
    return table;
}

QColor ReadColor(const TComponent& c, const form::Property& p) {
    static const std::map<std::string, QColor, std::less<>> colors = {
        {"clBtnFace", kButtonFace},   {"clWindow", QColor(255, 255, 255)}, {"clWindowText", QColor(0, 0, 0)},
        {"clBlack", QColor(0, 0, 0)}, {"clWhite", QColor(255, 255, 255)},
    };
    const auto it = colors.find(ReadIdentifier(c, p));
    if (it == colors.end()) ReadError(c, p, "unknown colour " + p.value.text);
    return it->second;
}

void ReadCharset(const TComponent& c, const form::Property& p) {
    static const char* const known[] = {"ANSI_CHARSET", "DEFAULT_CHARSET", "SHIFTJIS_CHARSET"};
    const std::string& name = ReadIdentifier(c, p);
    if (std::find(std::begin(known), std::end(known), name) == std::end(known))
        ReadError(c, p, "unknown charset " + name);
}

void ReadFontStyle(const TComponent& c, const form::Property& p, QFont& font) {
    if (p.value.kind != form::Value::Kind::Set) ReadError(c, p, "expected a set such as [fsBold]");
    for (const std::string& item : p.value.items) {
        if (item == "fsBold")
            font.setBold(true);
        else if (item == "fsItalic")
            font.setItalic(true);
        else if (item == "fsUnderline")
            font.setUnderline(true);
        else if (item == "fsStrikeOut")
            font.setStrikeOut(true);
        else
            ReadError(c, p, "unknown font style " + item);
    }
}

}  // namespace

std::span<const RegisteredClass> StandardClasses() {
    static const RegisteredClass classes[] = {
        {"TImage", [](TForm& owner) -> TComponent* { return new TImage(owner); }},
        {"TTimer", [](TForm& owner) -> TComponent* { return new TTimer(&owner); }},
    };
    return classes;
}

struct FormProperties {
    static const PropertyTable<TForm>& Table() {
        static const PropertyTable<TForm> table = {
            {"Left", [](TForm& f, const form::Property& p, TForm&) { f.move(ReadPosition(f, p), f.y()); }},
            {"Top", [](TForm& f, const form::Property& p, TForm&) { f.move(f.x(), ReadPosition(f, p)); }},
            {"Width", [](TForm& f, const form::Property& p, TForm&) { f.requested_size_.setWidth(ReadExtent(f, p)); }},
            {"Height",
             [](TForm& f, const form::Property& p, TForm&) { f.requested_size_.setHeight(ReadExtent(f, p)); }},
            {"AutoSize", [](TForm& f, const form::Property& p, TForm&) { f.auto_size_ = ReadBoolean(f, p); }},
            {"Color", [](TForm& f, const form::Property& p, TForm&) { f.color_ = ReadColor(f, p); }},
            {"Font.Charset", [](TForm& f, const form::Property& p, TForm&) { ReadCharset(f, p); }},
            // Nothing on the form draws text in the form font.
            {"Font.Color", [](TForm& f, const form::Property& p, TForm&) { ReadColor(f, p); }},
            {"Font.Height",
             [](TForm& f, const form::Property& p, TForm&) {
                 const int height = ReadInteger(f, p, -1000, 1000);
                 if (height == 0) ReadError(f, p, "a font height cannot be 0");
                 // Negative: the character height; positive: the cell height. Both are taken
                 // as the pixel size, which the metric-compatible fonts make equal.
                 f.font_.setPixelSize(std::abs(height));
             }},
            {"Font.Name",
             [](TForm& f, const form::Property& p, TForm&) {
                 const std::string& name = ReadString(f, p);
                 const auto it = FontSubstitutes().find(name);
                 f.font_.setFamily(QString::fromStdString(it == FontSubstitutes().end() ? name : it->second));
             }},
            {"Font.Style", [](TForm& f, const form::Property& p, TForm&) { ReadFontStyle(f, p, f.font_); }},
            // Creation order is always: read, then OnCreate.
            {"OldCreateOrder",
             [](TForm& f, const form::Property& p, TForm&) {
                 if (ReadBoolean(f, p)) ReadError(f, p, "only False is supported");
             }},
            {"OnCreate", [](TForm& f, const form::Property& p, TForm& root) { f.on_create_ = ReadEvent(f, p, root); }},
            // Checked only: layouts follow the measured text height instead (see FollowTextHeight).
            {"PixelsPerInch", [](TForm& f, const form::Property& p, TForm&) { ReadInteger(f, p, 1, 10000); }},
            {"TextHeight",
             [](TForm& f, const form::Property& p, TForm&) { f.design_text_height_ = ReadInteger(f, p, 1, 1000); }},
        };
        return table;
    }
};

TForm::TForm(std::string class_name) : class_name_(std::move(class_name)), color_(kButtonFace) {
    font_.setPixelSize(12);
}

TForm::~TForm() = default;

void TForm::Create() {
    QFile file(QStringLiteral(":/forms/") + QString::fromStdString(class_name_));
    if (!file.open(QIODevice::ReadOnly)) throw Exception("the form description of " + class_name_ + " is missing");
    const QByteArray text = file.readAll();
    ReadDescription(std::string_view(text.constData(), static_cast<size_t>(text.size())));
    // The window exists, hidden, from here on: titles set before it is shown land on it.
    winId();
    x11::SetIdentity(*this, Application().Title());
    WriteWindowTitle();
    if (on_create_) Application().Dispatch([this, handler = on_create_] { handler(this); });
}

void TForm::ReadDescription(std::string_view text) {
    const form::Object root = form::Parse(text);
    if (root.class_name != class_name_) form::Error(root.line, "describes " + root.class_name + ", not " + class_name_);
    Name = root.name;
    for (const auto& property : root.properties) ReadProperty(property, *this);
    for (const auto& child : root.children) ReadChild(child);
    Loaded();
}

void TForm::ReadChild(const form::Object& description) {
    const ComponentFactory factory = FindClass(description.class_name);
    TComponent* component = factory(*this);
    component->Name = description.name;
    BindField(description.name, *component);
    for (const auto& property : description.properties) component->ReadProperty(property, *this);
    if (!description.children.empty())
        form::Error(description.children.front().line, description.name + " cannot hold other components");
    component->Loaded();
}

void TForm::ReadProperty(const form::Property& property, TForm& root) {
    ReadFromTable<TForm, TComponent>(FormProperties::Table(), *this, property, root);
}

// The character height the system gives the form font. Layouts are stored for fonts whose
// cell is their em (so text height and character height agree); the substitutes have a
// taller cell, so the em is the measure that carries over.
// A smoothly scalable font is made at the size asked for: only other fonts are opened to
// learn their size (opening one costs milliseconds and the memory of a font never drawn with).
int TForm::MeasuredTextHeight() const {
    if (font_.pixelSize() > 0 && QFontDatabase::isSmoothlyScalable(font_.family(), QFontDatabase::styleString(font_)))
        return font_.pixelSize();
    return QFontInfo(font_).pixelSize();
}

void TForm::Loaded() {
    QPalette colors = palette();
    colors.setColor(QPalette::Window, color_);
    setPalette(colors);
    setAutoFillBackground(true);
    setFont(font_);
    if (auto_size_) {
        AutoSizeToControls();
    } else if (requested_size_.isValid()) {
        resize(requested_size_);
    }
}

void TForm::FollowTextHeight() {
    if (text_height_followed_) return;
    text_height_followed_ = true;
    const int measured = MeasuredTextHeight();
    if (design_text_height_ <= 0 || measured == design_text_height_) return;
    for (TImage* image : findChildren<TImage*>(Qt::FindDirectChildrenOnly))
        image->ScaleBy(measured, design_text_height_);
    if (auto_size_) AutoSizeToControls();
}

void TForm::AutoSizeToControls() {
    QSize extent(0, 0);
    for (const QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isHidden() && child->testAttribute(Qt::WA_WState_ExplicitShowHide)) continue;
        extent = extent.expandedTo(QSize(child->geometry().right() + 1, child->geometry().bottom() + 1));
    }
    fixed_client_ = extent;
    // Equal minimum and maximum: the window manager offers no resizing or maximising.
    setFixedSize(extent);
}

void TForm::SetCaption(std::string cp932) {
    caption_ = std::move(cp932);
    WriteWindowTitle();
}

void TForm::WriteWindowTitle() {
    const std::string utf8 = Cp932ToUtf8(caption_);
    if (x11::Active() && testAttribute(Qt::WA_WState_Created)) {
        x11::SetTitle(*this, utf8);
    } else {
        setWindowTitle(QString::fromStdString(utf8));
    }
}

TNotifyEvent TForm::FindMethod(std::string_view) { return {}; }

bool TForm::BindField(std::string_view, TComponent&) { return false; }

void TForm::closeEvent(QCloseEvent* event) {
    event->accept();
    if (Application().MainForm() == this) Application().Terminate();
}

void TForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (fixed_client_.isValid() && event->size() != fixed_client_) resize(fixed_client_);
}

void TForm::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !fixed_client_.isValid()) return;
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
        QTimer::singleShot(0, this,
                           [this] { setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen)); });
    }
}

}  // namespace platform
