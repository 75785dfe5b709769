// Conversions through the system's iconv, as a reference that shares nothing
// with the story's own compile-time converter.
#pragma once

#include <string>
#include <string_view>

namespace story::testing {

// Throws std::runtime_error when iconv cannot convert the whole text.
std::string Iconv(std::string_view text, const char* from, const char* to);

inline std::string Utf8ToCp932(std::string_view utf8) { return Iconv(utf8, "UTF-8", "CP932"); }
std::string CodePointToUtf8(char32_t c);
std::u32string Utf8ToCodePoints(std::string_view utf8);
std::u32string Cp932ToCodePoints(std::string_view cp932);

}  // namespace story::testing
