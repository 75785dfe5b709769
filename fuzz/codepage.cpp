// Code page 932 to UTF-8, as titles are converted: any bytes give well-formed UTF-8,
// and bytes that do not form a character are marked rather than dropped.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/forms/codepage.h"

namespace {

using fuzz::Require;

// Shortest forms only, no surrogates, nothing past U+10FFFF.
bool WellFormedUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int length = 0;
        std::uint32_t code = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) return false;
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        constexpr std::uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kShortest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view cp932(reinterpret_cast<const char*>(data), size);
    const std::string utf8 = platform::Cp932ToUtf8(cp932);
    Require(WellFormedUtf8(utf8), "the title is not well-formed UTF-8");
    // Every byte ends up in a character or a mark; a character takes at most 3 UTF-8 bytes
    // for its at most 2 input bytes, a mark 3 for 1.
    Require(utf8.size() <= 3 * size, "more text came out than went in");
    Require(size == 0 || !utf8.empty(), "text vanished");
    return 0;
}
