// The picture container: loading a whole file, under a shared lock, into the graphic kind
// its extension names, and drawing. Paths may use "\" as separator.
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

namespace platform {
namespace {

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
