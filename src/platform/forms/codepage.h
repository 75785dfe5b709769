// Code page 932 (Shift_JIS as Windows extends it) to UTF-8, at the window-system boundary.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Bytes that do not form a character become U+FFFD, one per bad byte; the rest of the
// text is still converted.
std::string Cp932ToUtf8(std::string_view cp932);

}  // namespace platform
