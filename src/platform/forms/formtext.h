// The text form of a form description: nested objects with their property values.
//
//   object Form1: TForm1
//     Left = 242
//     Font.Name = 'Some Font'
//     Font.Style = []
//     object Image1: TImage
//       Stretch = True
//     end
//   end
//
// Values are integers, identifiers (True, clBtnFace, Image1Click...), quoted UTF-8
// strings ('' stands for a quote) or sets of identifiers in brackets.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform::form {

struct Value {
    enum class Kind { Integer, Identifier, String, Set };
    Kind kind = Kind::Integer;
    std::int64_t integer = 0;
    std::string text;                // identifier or string
    std::vector<std::string> items;  // set members
};

struct Property {
    std::string name;  // may be dotted: Font.Height
    Value value;
    int line = 0;
};

struct Object {
    std::string name;
    std::string class_name;
    int line = 0;
    std::vector<Property> properties;
    std::vector<Object> children;
};

// Throws platform::Exception naming the line for any syntax error.
Object Parse(std::string_view text);

// Throws platform::Exception "form description, line <line>: <what>".
[[noreturn]] void Error(int line, std::string_view what);

}  // namespace platform::form
