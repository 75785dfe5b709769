// The application object: its title, forms, message loop, termination and the error
// boxes for errors that leave event handlers.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QByteArray;
class QImage;

namespace platform {

class TForm;

// The program file's name without directory, cut at its first ".", first character in
// upper case and the rest in lower case.
std::string ApplicationTitle(std::string_view program_path);
// The error box's text: the message, plus "." when it is not empty and its last
// character is above ".".
std::string ErrorBoxText(std::string_view message);
// The UTF-8 message of a caught error.
std::string ExceptionMessage(std::exception_ptr error);

// An image from the text of an XPM file, read by Qt's own XPM reader without a look through
// the image plugins (which would cost every start a few milliseconds); null when the text is
// not a whole XPM image.
QImage XpmImage(const QByteArray& source);

inline constexpr std::string_view kLastResortTitle = "アプリケーション エラー";

class TApplication {
public:
    explicit TApplication(std::string_view program_path);
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    // Checks the display, starts Qt, lets create_forms create the forms and runs the
    // loop. Returns the process exit code: 0 normally, 1 when a form cannot be created
    // or there is no display.
    static int Main(int argc, char** argv, void (*create_forms)(TApplication&));

    const std::string& Title() const { return title_; }

    // Creates and reads a form; the first one is the main form. A form that fails to
    // read is destroyed and the error passed on.
    template <class F>
    F& CreateForm() {
        auto form = std::make_unique<F>();
        F& ref = *form;
        AddForm(std::move(form));
        return ref;
    }
    TForm* MainForm() const { return main_form_; }

    // Shows the main form and handles events until termination. Returns 0.
    int Run();
    // Ends the loop once the running handler returns; later events run no handler.
    void Terminate();
    bool Terminated() const { return terminated_; }

    // Runs an event handler; an error leaving it goes to HandleException.
    void Dispatch(const std::function<void()>& handler);
    void HandleException(std::exception_ptr error);
    // The standard error box: modal, critical icon, OK, the application title as its title.
    void ShowException(const std::string& message);

    // When set, receives errors instead of the error box.
    std::function<void(const std::string& message)> OnException;

private:
    void AddForm(std::unique_ptr<TForm> form);

    std::string title_;
    std::vector<std::unique_ptr<TForm>> forms_;
    TForm* main_form_ = nullptr;
    bool terminated_ = false;
    // The first paint has been handled: forms follow the measured text height from then on.
    bool painted_ = false;
    TApplication* previous_ = nullptr;
};

// The application object of the process (the latest one created, while it lives).
TApplication& Application();

}  // namespace platform
