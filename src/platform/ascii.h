// ASCII case folding, for names that compare case-insensitively (file extensions, device
// names, command keywords). Bytes outside A-Z are left alone, so UTF-8 and code page 932
// text pass through unchanged.
#pragma once

#include <string>
#include <string_view>

namespace platform {

char AsciiLower(char c);
std::string AsciiLower(std::string_view text);
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace platform
