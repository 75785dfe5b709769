#include "iconv_reference.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace story::testing {

std::string Iconv(std::string_view text, const char* from, const char* to) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error(std::string("iconv_open ") + from + " -> " + to + ": " + std::strerror(errno));
    }
    const std::unique_ptr<void, int (*)(iconv_t)> guard(cd, iconv_close);
    std::string in(text);
    std::string out(4 * text.size() + 8, '\0');
    char* in_ptr = in.data();
    std::size_t in_left = in.size();
    char* out_ptr = out.data();
    std::size_t out_left = out.size();
    if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<std::size_t>(-1) || in_left != 0) {
        throw std::runtime_error(std::string("iconv ") + from + " -> " + to + ": " + std::strerror(errno));
    }
    out.resize(out.size() - out_left);
    return out;
}

namespace {
std::u32string ToCodePoints(std::string_view text, const char* from) {
    const std::string utf32 = Iconv(text, from, "UTF-32LE");
    std::u32string result;
    for (std::size_t i = 0; i + 4 <= utf32.size(); i += 4) {
        char32_t c = 0;
        for (int b = 3; b >= 0; --b) c = (c << 8) | static_cast<unsigned char>(utf32[i + static_cast<std::size_t>(b)]);
        result.push_back(c);
    }
    return result;
}
}  // namespace

std::string CodePointToUtf8(char32_t c) {
    std::string utf32;
    for (int b = 0; b < 4; ++b) utf32 += static_cast<char>((c >> (8 * b)) & 0xFF);
    return Iconv(utf32, "UTF-32LE", "UTF-8");
}

std::u32string Utf8ToCodePoints(std::string_view utf8) { return ToCodePoints(utf8, "UTF-8"); }
std::u32string Cp932ToCodePoints(std::string_view cp932) { return ToCodePoints(cp932, "CP932"); }

}  // namespace story::testing
