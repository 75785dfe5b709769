// Supports: file names, whole files, and byte sources from memory or from a file held
// under a shared lock and read with positioned reads, never a mapping.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

#include "platform/exception.h"

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
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// Only a regular file is taken, and opening never waits (a FIFO with no writer, a
// device). Returns the open descriptor, or -1.
int OpenRegularFile(const std::string& path, struct stat& status) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0 || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return -1;
    return file.release();
}

// While it is held, writers that take locks are kept out.
bool LockShared(int fd) { return ::flock(fd, LOCK_SH | LOCK_NB) == 0; }

[[noreturn]] void ThrowCannotOpen(const std::string& filename) {
    throw Exception("ファイル " + filename + " は開けません");
}

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
    struct stat status {};
    const FileDescriptor file(OpenRegularFile(path, status));
    if (file.get() < 0) return ReadResult::CannotOpen;
    if (static_cast<std::uintmax_t>(status.st_size) > max_size) return ReadResult::TooLarge;
    if (!LockShared(file.get())) return ReadResult::CannotOpen;

    bytes.reserve(static_cast<std::size_t>(status.st_size));
    std::uint8_t chunk[65536];
    for (;;) {
        const ssize_t n = ::read(file.get(), chunk, sizeof chunk);
        if (n == 0) return ReadResult::Read;
        if (n < 0) {
            if (errno == EINTR) continue;
            bytes.clear();
            return ReadResult::CannotOpen;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
        // The file may grow while it is read.
        if (bytes.size() > max_size) {
            bytes.clear();
            return ReadResult::TooLarge;
        }
    }
}

std::size_t MemorySource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) noexcept {
    if (offset >= view_.size()) return 0;
    const std::size_t n = std::min<std::size_t>(buffer.size(), view_.size() - offset);
    std::memcpy(buffer.data(), view_.data() + offset, n);
    return n;
}

SharedFile::SharedFile(const std::string& filename) : filename_(filename) {
    struct stat status {};
    FileDescriptor file(OpenRegularFile(NativePath(filename), status));
    if (file.get() < 0 || !LockShared(file.get())) ThrowCannotOpen(filename);
    size_ = static_cast<std::uint64_t>(status.st_size);
    fd_ = file.release();
}

SharedFile::~SharedFile() { ::close(fd_); }

std::size_t SharedFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) noexcept {
    if (read_failed_ || offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return 0;
    for (;;) {
        const ssize_t n = ::pread(fd_, buffer.data(), buffer.size(), static_cast<off_t>(offset));
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno == EINTR) continue;
        read_failed_ = true;
        return 0;
    }
}

void SharedFile::ThrowIfReadFailed() const {
    if (read_failed_) ThrowCannotOpen(filename_);
}

}  // namespace platform
