// The picture container: graphic kinds by extension (JPEG decoded; Windows metafiles,
// icons and bitmaps known by name only), loading a whole file under a shared lock, and
// drawing. Paths may use "\" as separator.
#include "platform/picture/picture.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cerrno>

#include "platform/exception.h"
#include "platform/picture/graphic.h"
#include "platform/picture/jpeg_image.h"

namespace platform {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

[[noreturn]] void ThrowUnknownKind(const std::string& extension) {
    throw Exception("拡張子 ." + extension + " の画像形式は処理できません");
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Only a regular file is read: opening never waits (a FIFO with no writer, a device),
// and while the file is read, writers that take locks are kept out.
std::vector<std::uint8_t> ReadWholeFile(const std::string& filename) {
    std::string path = filename;
    std::replace(path.begin(), path.end(), '\\', '/');
    auto cannot_open = [&filename]() { return Exception("ファイル " + filename + " は開けません"); };

    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0) throw cannot_open();
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) throw cannot_open();
    if (::flock(file.get(), LOCK_SH | LOCK_NB) != 0) throw cannot_open();

    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(status.st_size));
    std::uint8_t chunk[65536];
    for (;;) {
        ssize_t n = ::read(file.get(), chunk, sizeof chunk);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            throw cannot_open();
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return bytes;
}

}  // namespace

void GraphicRegistry::Register(std::string extension, std::string description,
                               std::function<std::unique_ptr<TGraphic>()> create) {
    kinds_.push_back({std::move(extension), std::move(description), std::move(create)});
}

const GraphicKind* GraphicRegistry::Find(std::string_view extension) const {
    for (auto it = kinds_.rbegin(); it != kinds_.rend(); ++it)
        if (SameIgnoringCase(it->extension, extension)) return &*it;
    return nullptr;
}

const GraphicRegistry& GraphicRegistry::Standard() {
    static const GraphicRegistry registry = [] {
        GraphicRegistry r;
        r.Register("wmf", "メタファイル", nullptr);
        r.Register("emf", "拡張メタファイル", nullptr);
        r.Register("ico", "アイコン", nullptr);
        r.Register("bmp", "ビットマップ", nullptr);
        auto jpeg = [] { return std::make_unique<TJPEGImage>(DisplayBitsPerPixel()); };
        r.Register("jpeg", "JPEG イメージファイル", jpeg);
        r.Register("jpg", "JPEG イメージファイル", jpeg);
        return r;
    }();
    return registry;
}

std::string FileExtension(std::string_view filename) {
    const auto dot = filename.rfind('.');
    if (dot == std::string_view::npos) return {};
    const std::string_view after = filename.substr(dot + 1);
    if (after.find_first_of("\\/:") != std::string_view::npos) return {};
    return std::string(after);
}

int DisplayBitsPerPixel() {
    static const int bits = [] {
        const QScreen* screen =
            qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::primaryScreen() : nullptr;
        return screen ? screen->depth() : 24;
    }();
    return bits;
}

TPicture::TPicture() {
    // The display's depth decides how pictures are decoded; take it as it is now.
    DisplayBitsPerPixel();
}

TPicture::~TPicture() = default;

void TPicture::LoadFromFile(const std::string& filename) { LoadFromFile(filename, GraphicRegistry::Standard()); }

void TPicture::LoadFromFile(const std::string& filename, const GraphicRegistry& kinds) {
    const std::string extension = FileExtension(filename);
    const GraphicKind* kind = kinds.Find(extension);
    if (!kind || !kind->create) ThrowUnknownKind(extension);
    std::unique_ptr<TGraphic> graphic = kind->create();
    graphic->LoadFromBytes(ReadWholeFile(filename));
    graphic_ = std::move(graphic);
}

void TPicture::Draw(QPainter& painter, const QRect& target) {
    if (graphic_) graphic_->Draw(painter, target);
}

}  // namespace platform
