// Supports: the nested object/property text of form descriptions (see formtext.h).
#include "platform/forms/formtext.h"

#include <cctype>
#include <charconv>
#include <optional>

#include "platform/exception.h"

namespace platform::form {

namespace {

// Objects are read recursively: a bound on nesting keeps any text from exhausting the
// stack. Forms hold one level of components; this leaves room for far more.
constexpr int kMaxNesting = 64;

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    Object ParseRoot() {
        NextLine();
        if (AtEnd()) Fail("the description is empty");
        Object root = ParseObject();
        NextLine();
        if (!AtEnd()) Fail("text after the last 'end'");
        return root;
    }

private:
    // Moves to the next line that holds something, skipping blank lines.
    void NextLine() {
        while (pos_ < text_.size()) {
            const size_t end = text_.find('\n', pos_);
            line_text_ = text_.substr(pos_, end == std::string_view::npos ? std::string_view::npos : end - pos_);
            pos_ = end == std::string_view::npos ? text_.size() : end + 1;
            ++line_;
            col_ = 0;
            SkipSpaces();
            if (col_ < line_text_.size()) return;
        }
        line_text_ = {};
        col_ = 0;
        at_end_ = true;
    }

    bool AtEnd() const { return at_end_; }

    [[noreturn]] void Fail(const std::string& what) const { Error(line_, what); }

    void SkipSpaces() {
        while (col_ < line_text_.size() &&
               (line_text_[col_] == ' ' || line_text_[col_] == '\t' || line_text_[col_] == '\r'))
            ++col_;
    }

    bool LineDone() {
        SkipSpaces();
        return col_ >= line_text_.size();
    }

    std::optional<std::string> Identifier() {
        SkipSpaces();
        if (col_ >= line_text_.size() || !IsIdentStart(line_text_[col_])) return std::nullopt;
        const size_t start = col_;
        while (col_ < line_text_.size() && IsIdentChar(line_text_[col_])) ++col_;
        return std::string(line_text_.substr(start, col_ - start));
    }

    std::string ExpectIdentifier(const char* what) {
        auto id = Identifier();
        if (!id) Fail(std::string("expected ") + what);
        return *id;
    }

    void Expect(char c) {
        SkipSpaces();
        if (col_ >= line_text_.size() || line_text_[col_] != c) Fail(std::string("expected '") + c + "'");
        ++col_;
    }

    Object ParseObject() {
        Object object;
        object.line = line_;
        if (Identifier() != "object") Fail("expected 'object'");
        object.name = ExpectIdentifier("an object name");
        Expect(':');
        object.class_name = ExpectIdentifier("a class name");
        if (!LineDone()) Fail("unexpected text after the class name");
        for (;;) {
            NextLine();
            if (AtEnd()) Fail("missing 'end' of " + object.name);
            const size_t start = col_;
            const auto word = Identifier();
            if (word == "end") {
                if (!LineDone()) Fail("unexpected text after 'end'");
                return object;
            }
            if (word == "object") {
                if (depth_ == kMaxNesting) Fail("objects nested more than " + std::to_string(kMaxNesting) + " deep");
                col_ = start;
                ++depth_;
                object.children.push_back(ParseObject());
                --depth_;
                continue;
            }
            col_ = start;
            object.properties.push_back(ParseProperty());
        }
    }

    Property ParseProperty() {
        Property property;
        property.line = line_;
        property.name = ExpectIdentifier("a property name");
        while (col_ < line_text_.size() && line_text_[col_] == '.') {
            ++col_;
            property.name += '.' + ExpectIdentifier("a property name after '.'");
        }
        Expect('=');
        property.value = ParseValue();
        if (!LineDone()) Fail("unexpected text after the value of " + property.name);
        return property;
    }

    Value ParseValue() {
        SkipSpaces();
        if (col_ >= line_text_.size()) Fail("missing value");
        Value value;
        const char c = line_text_[col_];
        if (c == '\'') {
            value.kind = Value::Kind::String;
            value.text = QuotedString();
        } else if (c == '[') {
            value.kind = Value::Kind::Set;
            ++col_;
            SkipSpaces();
            if (col_ < line_text_.size() && line_text_[col_] == ']') {
                ++col_;
                return value;
            }
            for (;;) {
                value.items.push_back(ExpectIdentifier("a set member"));
                SkipSpaces();
                if (col_ < line_text_.size() && line_text_[col_] == ',') {
                    ++col_;
                    continue;
                }
                Expect(']');
                return value;
            }
        } else if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) {
            value.kind = Value::Kind::Integer;
            const char* first = line_text_.data() + col_;
            const char* last = line_text_.data() + line_text_.size();
            const auto [ptr, ec] = std::from_chars(first, last, value.integer);
            if (ec != std::errc() || (ptr < last && IsIdentChar(*ptr))) Fail("bad number");
            col_ += ptr - first;
        } else {
            value.kind = Value::Kind::Identifier;
            value.text = ExpectIdentifier("a value");
        }
        return value;
    }

    std::string QuotedString() {
        ++col_;  // opening quote
        std::string result;
        for (;;) {
            if (col_ >= line_text_.size()) Fail("unterminated string");
            const char c = line_text_[col_++];
            if (c != '\'') {
                result += c;
            } else if (col_ < line_text_.size() && line_text_[col_] == '\'') {
                result += '\'';
                ++col_;
            } else {
                return result;
            }
        }
    }

    std::string_view text_;
    size_t pos_ = 0;
    std::string_view line_text_;
    size_t col_ = 0;
    int line_ = 0;
    int depth_ = 0;  // objects open around the one being read
    bool at_end_ = false;
};

}  // namespace

Object Parse(std::string_view text) { return Parser(text).ParseRoot(); }

void Error(int line, std::string_view what) {
    throw Exception("form description, line " + std::to_string(line) + ": " + std::string(what));
}

}  // namespace platform::form
