// Code page 932 (Shift_JIS) text made at compile time from UTF-8 literals.
// Only the characters the story is written in are known: a literal with any
// other character, or with malformed UTF-8, does not compile.
#pragma once

#include <array>
#include <cstddef>
#include <stdexcept>
#include <string_view>

namespace story::cp932 {

// Every character the story uses, in code point order. Nothing else converts,
// so a stray character in a story text cannot slip into the program unnoticed.
inline constexpr std::u8string_view kAlphabet =
    u8" ()Zz"
    u8"▲△★☆"
    u8"　"
    u8"あいうおかがきくけこごさしじすただちっつでとどなねのはばひほまめゅゆょらりるろん"
    u8"ー"
    u8"（）？";

struct Decoded {
    char32_t code = 0;
    std::size_t length = 0;  // bytes taken from the input
};

// Decodes the UTF-8 character starting at `pos`. Throws on malformed input,
// which in a constant expression is a compile error.
constexpr Decoded DecodeUtf8(std::u8string_view text, std::size_t pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(pos);
    std::size_t length = 0;
    char32_t code = 0;
    if (lead < 0x80) return {lead, 1};
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07;
    } else {
        throw std::invalid_argument("malformed UTF-8");
    }
    if (pos + length > text.size()) throw std::invalid_argument("truncated UTF-8");
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) throw std::invalid_argument("malformed UTF-8");
        code = (code << 6) | (byte(pos + i) & 0x3F);
    }
    // A longer form than needed would let a second spelling of a character,
    // such as the space, past the check.
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length]) throw std::invalid_argument("overlong UTF-8");
    return {code, length};
}

constexpr bool Known(char32_t code) {
    for (std::size_t pos = 0; pos < kAlphabet.size();) {
        const Decoded d = DecodeUtf8(kAlphabet, pos);
        if (d.code == code) return true;
        pos += d.length;
    }
    return false;
}

// The code page 932 code of a known character: one byte for ASCII, otherwise
// lead * 256 + trail.
constexpr unsigned Encode(char32_t code) {
    if (!Known(code)) throw std::invalid_argument("character outside the story's alphabet");
    if (code < 0x80) return static_cast<unsigned>(code);
    // Hiragana are one contiguous run in both character sets.
    if (code >= U'ぁ' && code <= U'ん') return 0x829F + static_cast<unsigned>(code - U'ぁ');
    switch (code) {
        case U'　':
            return 0x8140;
        case U'？':
            return 0x8148;
        case U'ー':
            return 0x815B;
        case U'（':
            return 0x8169;
        case U'）':
            return 0x816A;
        case U'☆':
            return 0x8199;
        case U'★':
            return 0x819A;
        case U'△':
            return 0x81A2;
        case U'▲':
            return 0x81A3;
        default:
            break;
    }
    throw std::logic_error("known character without a code");
}

// Fixed-capacity text; `Capacity` bounds the size in bytes.
template <std::size_t Capacity>
struct Text {
    std::array<char, Capacity> bytes{};
    std::size_t size = 0;

    constexpr void Append(std::string_view piece) {
        if (size + piece.size() > Capacity) throw std::length_error("text capacity exceeded");
        for (char c : piece) bytes[size++] = c;
    }
    constexpr std::string_view View() const { return {bytes.data(), size}; }
};

// Converting never lengthens a text (one byte stays one byte, three become
// two), so the UTF-8 size is enough room.
template <std::size_t Capacity>
constexpr Text<Capacity> Convert(std::u8string_view utf8) {
    Text<Capacity> out;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const Decoded d = DecodeUtf8(utf8, pos);
        const unsigned code = Encode(d.code);
        const char pair[] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
        out.Append(code < 0x100 ? std::string_view(pair + 1, 1) : std::string_view(pair, 2));
        pos += d.length;
    }
    return out;
}

// A string literal as a template argument, so each converted text gets
// static storage of its own.
template <std::size_t N>
struct Literal {
    char8_t chars[N];
    // Implicit, so that a string literal can stand as the template argument.
    consteval Literal(const char8_t (&utf8)[N]) {
        for (std::size_t i = 0; i < N; ++i) chars[i] = utf8[i];
    }
};

template <Literal L>
inline constexpr auto kConverted = Convert<sizeof(L.chars)>(std::u8string_view(L.chars, sizeof(L.chars) - 1));

}  // namespace story::cp932

namespace story::literals {

// u8"ねつ　"_cp932 is the code page 932 form of the literal, as a string_view
// into static storage.
template <cp932::Literal L>
consteval std::string_view operator""_cp932() {
    return cp932::kConverted<L>.View();
}

}  // namespace story::literals
