#include "platform/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace platform {
namespace {

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

}  // namespace

std::string NativePath(std::string_view path) {
    std::string native(path);
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

std::string FileExtension(std::string_view path) {
    const auto dot = path.rfind('.');
    if (dot == std::string_view::npos) return {};
    const std::string_view after = path.substr(dot + 1);
    if (after.find_first_of("\\/:") != std::string_view::npos) return {};
    return std::string(after);
}

ReadResult ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::size_t max_size) {
    bytes.clear();
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0) return ReadResult::kCannotOpen;
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return ReadResult::kCannotOpen;
    if (static_cast<std::uintmax_t>(status.st_size) > max_size) return ReadResult::kTooLarge;
    if (::flock(file.get(), LOCK_SH | LOCK_NB) != 0) return ReadResult::kCannotOpen;

    bytes.reserve(static_cast<std::size_t>(status.st_size));
    std::uint8_t chunk[65536];
    for (;;) {
        const ssize_t n = ::read(file.get(), chunk, sizeof chunk);
        if (n == 0) return ReadResult::kRead;
        if (n < 0) {
            if (errno == EINTR) continue;
            bytes.clear();
            return ReadResult::kCannotOpen;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
        // The file may grow while it is read.
        if (bytes.size() > max_size) {
            bytes.clear();
            return ReadResult::kTooLarge;
        }
    }
}

}  // namespace platform
