#include "platform/forms/formtext.h"

#include <gtest/gtest.h>

#include "platform/exception.h"

namespace platform::form {
namespace {

TEST(FormText, ReadsNestedObjectsAndEveryKindOfValue) {
    const Object root = Parse(
        "object Form1: TForm1\r\n"
        "  Left = -242\r\n"
        "\r\n"
        "  Font.Name = 'ＭＳ Ｐゴシック with ''quotes'''\r\n"
        "  Font.Style = [fsBold, fsItalic]\r\n"
        "  Empty = []\r\n"
        "  AutoSize = True\r\n"
        "  object Image1: TImage\r\n"
        "    OnClick = Image1Click\r\n"
        "  end\r\n"
        "end\r\n");
    EXPECT_EQ(root.name, "Form1");
    EXPECT_EQ(root.class_name, "TForm1");
    ASSERT_EQ(root.properties.size(), 5u);
    EXPECT_EQ(root.properties[0].name, "Left");
    EXPECT_EQ(root.properties[0].value.kind, Value::Kind::Integer);
    EXPECT_EQ(root.properties[0].value.integer, -242);
    EXPECT_EQ(root.properties[1].name, "Font.Name");
    EXPECT_EQ(root.properties[1].line, 4);
    EXPECT_EQ(root.properties[1].value.text, "ＭＳ Ｐゴシック with 'quotes'");
    EXPECT_EQ(root.properties[2].value.items, (std::vector<std::string>{"fsBold", "fsItalic"}));
    EXPECT_EQ(root.properties[3].value.kind, Value::Kind::Set);
    EXPECT_TRUE(root.properties[3].value.items.empty());
    EXPECT_EQ(root.properties[4].value.kind, Value::Kind::Identifier);
    EXPECT_EQ(root.properties[4].value.text, "True");
    ASSERT_EQ(root.children.size(), 1u);
    EXPECT_EQ(root.children[0].name, "Image1");
    EXPECT_EQ(root.children[0].class_name, "TImage");
    EXPECT_EQ(root.children[0].properties.at(0).value.text, "Image1Click");
}

// The form with `depth` objects each inside the one before.
std::string Nested(int depth) {
    std::string text = "object Form1: TForm1\n";
    for (int i = 0; i < depth; ++i) text += "object Inner: TImage\n";
    for (int i = 0; i < depth; ++i) text += "end\n";
    return text + "end\n";
}

TEST(FormText, ReadsObjectsNestedUpToTheBound) {
    Object root = Parse(Nested(64));
    int depth = 0;
    for (const Object* o = &root; !o->children.empty(); o = &o->children.front()) ++depth;
    EXPECT_EQ(depth, 64);
}

TEST(FormText, SyntaxErrorsNameTheLine) {
    const struct {
        std::string text;
        const char* expected;
    } cases[] = {
        {"", "line 0: the description is empty"},
        {"object Form1 TForm1\nend\n", "line 1: expected ':'"},
        {"objekt Form1: TForm1\nend\n", "line 1: expected 'object'"},
        {"object Form1: TForm1\n  Left = 12x\nend\n", "line 2: bad number"},
        {"object Form1: TForm1\n  Left = 99999999999999999999\nend\n", "line 2: bad number"},
        {"object Form1: TForm1\n  Font.Name = 'open\nend\n", "line 2: unterminated string"},
        {"object Form1: TForm1\n  Left 12\nend\n", "line 2: expected '='"},
        {"object Form1: TForm1\n  Left =\nend\n", "line 2: missing value"},
        {"object Form1: TForm1\n  Left = 1 2\nend\n", "line 2: unexpected text after the value of Left"},
        {"object Form1: TForm1\n  Style = [a b]\nend\n", "line 2: expected ']'"},
        {"object Form1: TForm1\n  Left = 1\n", "missing 'end' of Form1"},
        {"object Form1: TForm1\nend\nend\n", "line 3: text after the last 'end'"},
        {"object Form1: TForm1\n  object Image1: TImage\nend\n", "missing 'end' of Form1"},
        {Nested(65), "line 66: objects nested more than 64 deep"},
        {Nested(100000), "line 66: objects nested more than 64 deep"},
    };
    for (const auto& c : cases) {
        try {
            Parse(c.text);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const Exception& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what() << "\nfor: " << c.text;
        }
    }
}

}  // namespace
}  // namespace platform::form
