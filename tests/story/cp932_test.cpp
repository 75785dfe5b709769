#include "story/cp932.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "iconv_reference.h"
#include "story/script.h"

namespace story::testing {
namespace {

std::string Utf8(std::u8string_view s) { return std::string(s.begin(), s.end()); }

// Every character the converter knows, one by one and all together, against
// the system's code page 932 tables.
TEST(Cp932, AgreesWithIconvOnEveryKnownCharacter) {
    for (char32_t c : Utf8ToCodePoints(Utf8(cp932::kAlphabet))) {
        SCOPED_TRACE(static_cast<unsigned>(c));
        const std::string expected = Utf8ToCp932(CodePointToUtf8(c));
        const unsigned code = cp932::Encode(c);
        const std::string actual = code < 0x100
                                       ? std::string(1, static_cast<char>(code))
                                       : std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
        EXPECT_EQ(actual, expected);
    }
    constexpr auto all = cp932::Convert<cp932::kAlphabet.size()>(cp932::kAlphabet);
    EXPECT_EQ(std::string(all.View()), Utf8ToCp932(Utf8(cp932::kAlphabet)));
}

// The converter knows exactly the characters the script is written in: none
// missing, none to spare.
TEST(Cp932, AlphabetIsExactlyTheScriptsCharacters) {
    std::set<char32_t> used;
    for (std::int32_t step = 0; step <= kLastStep; ++step) {
        for (char32_t c : Cp932ToCodePoints(ScriptEntry(step)->text)) used.insert(c);
    }
    const std::u32string alphabet = Utf8ToCodePoints(Utf8(cp932::kAlphabet));
    EXPECT_EQ(used, std::set<char32_t>(alphabet.begin(), alphabet.end()));
    EXPECT_EQ(used.size(), alphabet.size()) << "a character is listed twice";
}

}  // namespace
}  // namespace story::testing
