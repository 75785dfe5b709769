// Supports: code page 932 to UTF-8 through iconv, with replacement of undecodable bytes.
#include "platform/forms/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <memory>

#include "platform/c_handle.h"
#include "platform/exception.h"

namespace platform {

namespace {

using Iconv = CHandle<std::remove_pointer_t<iconv_t>, iconv_close>;

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932) {
    // Every blink sets an empty title just before its pause: no converter for that.
    if (cp932.empty()) return {};
    // A fresh descriptor per call keeps no shift state between titles; titles are rare.
    const iconv_t raw = iconv_open("UTF-8", "CP932");
    if (raw == reinterpret_cast<iconv_t>(-1)) throw Exception("iconv cannot convert from CP932 to UTF-8");
    const Iconv cd(raw);

    std::string out;
    char buffer[256];
    char* in = const_cast<char*>(cp932.data());
    size_t in_left = cp932.size();
    while (in_left > 0) {
        char* dst = buffer;
        size_t dst_left = sizeof buffer;
        const size_t rc = iconv(cd.get(), &in, &in_left, &dst, &dst_left);
        out.append(buffer, dst - buffer);
        if (rc != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL (a lead byte at the very end): skip the byte, mark the gap.
        out += kReplacement;
        ++in;
        --in_left;
        iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

}  // namespace platform
