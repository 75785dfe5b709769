// The form: a top-level window read from its stored description, holding controls
// (TImage) and non-visual components (TTimer).
#pragma once

#include <QFont>
#include <QWidget>
#include <span>
#include <string>
#include <string_view>

#include "platform/exception.h"
#include "platform/forms/classes.h"

namespace platform {

struct RegisteredClass {
    std::string_view name;
    ComponentFactory factory;
};
// TImage and TTimer: in the class registry from the start; RegisterClass may replace them.
std::span<const RegisteredClass> StandardClasses();

class TForm : public QWidget, public TComponent {
public:
    // class_name names the stored description too: resource ":/forms/<class_name>".
    explicit TForm(std::string class_name);
    ~TForm() override;

    const std::string& ClassName() const { return class_name_; }

    // Reads the stored description, creates the native window hidden, then runs OnCreate
    // (its errors go to the error box). Reading errors are thrown.
    void Create();
    // The reading step alone, from description text.
    void ReadDescription(std::string_view text);

    // Caption: the window title, code page 932, set whole. (The property keeps the
    // component library's name; everywhere else this is called the title.)
    void SetCaption(std::string cp932);
    const std::string& Caption() const { return caption_; }

    // The form font's text height as measured on this system, in pixels.
    int MeasuredTextHeight() const;
    // Scales the controls, and the window with them, by the measured text height over the
    // stored one, once. The layout is read at its stored size; the application calls this
    // after the form's first paint, because measuring starts the font system (reading its
    // configuration takes longer than the rest of the window's start), and only a system
    // without a scalable form font measures a height that moves anything.
    void FollowTextHeight();
    const QFont& FormFont() const { return font_; }
    QColor Color() const { return color_; }

    // The handler of that name published by the form class, or an empty function.
    virtual TNotifyEvent FindMethod(std::string_view name);
    // Stores the component in the published field of that name. False when there is no
    // such field; throws when the field holds another class.
    virtual bool BindField(std::string_view name, TComponent& component);

    void ReadProperty(const form::Property& property, TForm& root) override;
    void Loaded() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend struct FormProperties;

    void ReadChild(const form::Object& description);
    void AutoSizeToControls();
    void WriteWindowTitle();

    std::string class_name_;
    std::string caption_;
    TNotifyEvent on_create_;
    QFont font_;
    QColor color_;
    int design_text_height_ = 0;
    bool text_height_followed_ = false;
    bool auto_size_ = false;
    QSize requested_size_;
    QSize fixed_client_;
};

// A form class's published handlers, e.g. {"FormCreate", &TForm1::FormCreate}.
template <class F>
struct PublishedMethod {
    std::string_view name;
    void (F::*method)(TObject* Sender);
};

template <class F, size_t N>
TNotifyEvent FindPublished(const PublishedMethod<F> (&table)[N], F& form, std::string_view name) {
    for (const auto& entry : table)
        if (entry.name == name) return [&form, m = entry.method](TObject* sender) { (form.*m)(sender); };
    return {};
}

// Stores component in field when it has the field's class.
template <class C>
bool BindPublished(C*& field, TComponent& component) {
    field = dynamic_cast<C*>(&component);
    if (!field) throw Exception("component " + component.Name + " does not have the class of its field");
    return true;
}

}  // namespace platform
