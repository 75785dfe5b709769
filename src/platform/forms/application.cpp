// Supports: the application title rule, the form list and message loop, termination after
// the running handler, the standard error box, the last-resort box and the display check.
#include "platform/forms/application.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QMessageBox>
#include <QPixmap>
#include <QString>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/first_paint.h"
#include "platform/forms/forms.h"
#include "platform/x11/xwindow.h"

namespace platform {

namespace {

TApplication* the_application = nullptr;

// The last code point of UTF-8 text; bytes that are not UTF-8 count as themselves.
char32_t LastCodePoint(std::string_view text) {
    size_t start = text.size() - 1;
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80 && text.size() - start < 4) --start;
    const QString decoded = QString::fromUtf8(text.data() + start, static_cast<qsizetype>(text.size() - start));
    const auto ucs4 = decoded.toUcs4();
    return ucs4.isEmpty() ? static_cast<unsigned char>(text.back()) : ucs4.back();
}

void ShowBox(const QString& title, const std::string& message) {
    QMessageBox box(QMessageBox::Critical, title, QString::fromStdString(ErrorBoxText(message)), QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

// Lets the work held back for the first paint go once a paint has been handled: the same
// pass of the event loop sends its picture to the X server, the timer comes after it.
class FirstPaintWatch : public QObject {
public:
    explicit FirstPaintWatch(std::function<void()> then) : then_(std::move(then)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            QTimer::singleShot(0, this, [this] {
                QCoreApplication::instance()->removeEventFilter(this);
                then_();
            });
        }
        return false;
    }

private:
    std::function<void()> then_;
    bool seen_ = false;
};

QByteArray ResourceBytes(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

QImage XpmImage(const QByteArray& source) {
    // The quoted strings of the C array, in order; an icon needs no escapes.
    std::vector<QByteArray> strings;
    for (qsizetype open = source.indexOf('"'); open >= 0;) {
        const qsizetype close = source.indexOf('"', open + 1);
        if (close < 0) return {};
        strings.push_back(source.mid(open + 1, close - open - 1));
        open = source.indexOf('"', close + 1);
    }
    // Qt's array reader trusts the header's counts: the strings must all be there.
    int width = 0, height = 0, colours = 0, chars_per_pixel = 0;
    if (strings.empty() ||
        std::sscanf(strings[0].constData(), "%d %d %d %d", &width, &height, &colours, &chars_per_pixel) != 4 ||
        width <= 0 || height <= 0 || colours <= 0 || chars_per_pixel <= 0 ||
        strings.size() < 1 + static_cast<size_t>(colours) + static_cast<size_t>(height))
        return {};
    const size_t first_row = 1 + static_cast<size_t>(colours);
    for (size_t row = first_row; row < first_row + static_cast<size_t>(height); ++row)
        if (strings[row].size() < static_cast<qsizetype>(width) * chars_per_pixel) return {};
    std::vector<const char*> lines;
    for (const QByteArray& s : strings) lines.push_back(s.constData());
    return QImage(lines.data());
}

std::string ApplicationTitle(std::string_view program_path) {
    const size_t slash = program_path.rfind('/');
    std::string_view name = slash == std::string_view::npos ? program_path : program_path.substr(slash + 1);
    name = name.substr(0, name.find('.'));
    const QString text = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    if (text.isEmpty()) return {};
    // The first character may be a surrogate pair.
    const qsizetype first = text.at(0).isHighSurrogate() && text.size() > 1 ? 2 : 1;
    return (text.left(first).toUpper() + text.mid(first).toLower()).toStdString();
}

std::string ErrorBoxText(std::string_view message) {
    std::string text(message);
    if (!text.empty() && LastCodePoint(text) > U'.') text += '.';
    return text;
}

std::string ExceptionMessage(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown error";
    }
}

TApplication::TApplication(std::string_view program_path)
    : title_(ApplicationTitle(program_path)), previous_(the_application) {
    the_application = this;
    // The program ends when asked to or when its main form closes, not when the last box does.
    QApplication::setQuitOnLastWindowClosed(false);
    const QImage icon = XpmImage(ResourceBytes(QStringLiteral(":/MAINICON")));
    if (!icon.isNull()) QApplication::setWindowIcon(QIcon(QPixmap::fromImage(icon)));
}

TApplication::~TApplication() {
    forms_.clear();
    if (the_application == this) the_application = previous_;
}

TApplication& Application() {
    if (!the_application) std::abort();
    return *the_application;
}

int TApplication::Main(int argc, char** argv, void (*create_forms)(TApplication&)) {
    const std::string program = argc > 0 ? argv[0] : "balloonstory";
    std::string why;
    if (!x11::SelectX11(why)) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), why.c_str());
        return 1;
    }
    QApplication qt(argc, argv);
    x11::EndWhenConnectionBreaks();
    HoldUntilFirstPaint();
    struct Release {
        ~Release() { FirstPaintDone(); }
    } release_however_it_ends;
    // The executable file itself (symbolic links resolved), whatever argv[0] says.
    const QString file = QCoreApplication::applicationFilePath();
    TApplication application(file.isEmpty() ? program : file.toStdString());
    try {
        create_forms(application);
    } catch (...) {
        ShowBox(QString::fromUtf8(kLastResortTitle.data(), kLastResortTitle.size()),
                ExceptionMessage(std::current_exception()));
        return 1;
    }
    return application.Run();
}

void TApplication::AddForm(std::unique_ptr<TForm> form) {
    form->Create();
    if (painted_) form->FollowTextHeight();
    if (!main_form_) main_form_ = form.get();
    forms_.push_back(std::move(form));
}

int TApplication::Run() {
    if (terminated_) return 0;
    FirstPaintWatch first_paint([this] {
        FirstPaintDone();
        painted_ = true;
        for (const auto& form : forms_) form->FollowTextHeight();
    });
    QCoreApplication::instance()->installEventFilter(&first_paint);
    if (main_form_) main_form_->show();
    QApplication::exec();
    return 0;
}

void TApplication::Terminate() {
    terminated_ = true;
    QCoreApplication::exit(0);
}

void TApplication::Dispatch(const std::function<void()>& handler) {
    if (terminated_) return;
    try {
        handler();
    } catch (...) {
        HandleException(std::current_exception());
    }
}

void TApplication::HandleException(std::exception_ptr error) {
    const std::string message = ExceptionMessage(error);
    if (OnException) {
        OnException(message);
        return;
    }
    ShowException(message);
}

void TApplication::ShowException(const std::string& message) { ShowBox(QString::fromStdString(title_), message); }

}  // namespace platform
