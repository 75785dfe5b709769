#include "platform/forms/codepage.h"

#include <gtest/gtest.h>

namespace {

TEST(Cp932ToUtf8, ConvertsAndMarksBadBytes) {
    const struct {
        std::string cp932;
        std::string utf8;
    } cases[] = {
        {"", ""},
        {"(((   )))", "(((   )))"},
        {"\x82\xcb\x82\xc2", "ねつ"},
        {"\x81\x40", "\u3000"},
        {"\x81\x99\x81\xa3", "☆▲"},
        {"\x88\x9f", "亜"},
        {"\x87\x40", "①"},  // an extension of the Windows code page
        {"a\xff"
         "b",
         "a\uFFFDb"},
        {"\x82", "\uFFFD"},  // a lead byte cut off at the end
    };
    for (const auto& c : cases) EXPECT_EQ(platform::Cp932ToUtf8(c.cp932).substr(0, c.utf8.size()), c.utf8) << c.cp932;
}

TEST(Cp932ToUtf8, LongTitlesConvertWhole) {
    std::string cp932;
    for (int i = 0; i < 400; ++i) cp932 += "\x82\xcb";  // longer than one conversion buffer
    std::string utf8;
    for (int i = 0; i < 400; ++i) utf8 += "ね";
    EXPECT_EQ(platform::Cp932ToUtf8(cp932), utf8);
}

}  // namespace
