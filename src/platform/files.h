// Files as the program names them: "\" separates folders, as on the system its code was
// written for, and a name's extension decides what it holds. Files are read whole, or on
// demand through a byte source, so that a reader takes only what it needs of a file
// however large the file is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The path with every "\" made a "/".
std::string NativePath(std::string_view path);

// The text after the last "." of a file name; none when a "\", "/" or ":" follows it.
std::string FileExtension(std::string_view path);

enum class ReadResult { Read, CannotOpen, TooLarge };

// Reads the whole of a regular file (`path` as NativePath gives it). Opening never waits
// (a FIFO with no writer, a device), and while the file is read, writers that take locks
// are kept out. A file over max_size bytes is not read.
ReadResult ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes,
                         std::size_t max_size = std::numeric_limits<std::size_t>::max());

// Bytes read on demand, from memory or from a file held open.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Copies up to buffer.size() bytes from `offset` on into `buffer`; returns how many,
    // 0 past the end. Never throws (libjpeg calls it): a read that fails ends the data
    // there, and ThrowIfReadFailed() tells afterwards.
    virtual std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) noexcept = 0;
    // Throws platform::Exception when a read has failed.
    virtual void ThrowIfReadFailed() const {}
};

// Bytes in memory: a view of the caller's, or owned.
class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> view) : view_(view) {}
    explicit MemorySource(std::vector<std::uint8_t> bytes) : owned_(std::move(bytes)), view_(owned_) {}
    MemorySource(const MemorySource&) = delete;
    MemorySource& operator=(const MemorySource&) = delete;
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) noexcept override;

private:
    std::vector<std::uint8_t> owned_;
    std::span<const std::uint8_t> view_;
};

// A regular file held open for reading under a shared lock until destroyed: writers that
// take locks stay out meanwhile. Reads go through read calls, never a mapping, so a file
// cut short meanwhile only ends the data early.
class SharedFile : public ByteSource {
public:
    // `filename` may use "\" as separator. Throws "ファイル %s は開けません" (the name as
    // given) when it is missing, not a regular file or locked by a writer; opening never
    // waits, not even for a FIFO without a writer.
    explicit SharedFile(const std::string& filename);
    ~SharedFile() override;
    SharedFile(const SharedFile&) = delete;
    SharedFile& operator=(const SharedFile&) = delete;

    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) noexcept override;
    // Throws the same error as a file that cannot be opened.
    void ThrowIfReadFailed() const override;
    // The file's size when it was opened.
    std::uint64_t SizeAtOpen() const { return size_; }

private:
    std::string filename_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
    bool read_failed_ = false;
};

}  // namespace platform
