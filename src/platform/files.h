// Files as the program names them: "\" separates folders, as on the system its code was
// written for, and a name's extension decides what it holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The path with every "\" made a "/".
std::string NativePath(std::string_view path);

// The text after the last "." of a file name; none when a "\", "/" or ":" follows it.
std::string FileExtension(std::string_view path);

enum class ReadResult { kRead, kCannotOpen, kTooLarge };

// Reads the whole of a regular file (`path` as NativePath gives it). Opening never waits
// (a FIFO with no writer, a device), and while the file is read, writers that take locks
// are kept out. A file over max_size bytes is not read.
ReadResult ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes,
                         std::size_t max_size = std::numeric_limits<std::size_t>::max());

}  // namespace platform
