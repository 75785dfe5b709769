// The grammar of the command strings: which verbs exist and what each may be given.
#include "platform/music/mci_command.h"

#include <array>
#include <charconv>
#include <vector>

#include "platform/ascii.h"

namespace platform::mci {
namespace {

enum class Arg { None, Text, Integer };

struct Keyword {
    std::string_view name;
    Arg arg;
};

struct Verb {
    std::string_view name;
    std::vector<Keyword> keywords;
};

const std::vector<Verb>& Verbs() {
    static const std::vector<Verb> table = {
        {"open", {{"alias", Arg::Text}, {"type", Arg::Text}, {"shareable", Arg::None}}},
        {"play", {{"from", Arg::Integer}, {"to", Arg::Integer}}},
        {"stop", {}},
        {"close", {}},
        {"status", {{"mode", Arg::None}, {"ready", Arg::None}, {"length", Arg::None}, {"position", Arg::None}}},
    };
    return table;
}

constexpr std::array<Keyword, 2> kCommon = {{{"notify", Arg::None}, {"wait", Arg::None}}};

const Keyword* FindKeyword(const Verb& verb, std::string_view name) {
    for (const auto& k : kCommon)
        if (k.name == name) return &k;
    for (const auto& k : verb.keywords)
        if (k.name == name) return &k;
    return nullptr;
}

// Splits into words; returns false on an unclosed quote.
bool Split(std::string_view text, std::vector<std::string>& words) {
    std::size_t i = 0;
    while (true) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
        if (i == text.size()) return true;
        if (text[i] == '"') {
            const auto close = text.find('"', i + 1);
            if (close == std::string_view::npos) return false;
            words.emplace_back(text.substr(i + 1, close - i - 1));
            i = close + 1;
        } else {
            const auto end = text.find_first_of(" \t", i);
            const auto stop = end == std::string_view::npos ? text.size() : end;
            words.emplace_back(text.substr(i, stop - i));
            i = stop;
        }
    }
}

bool IsInteger(const std::string& word) {
    std::uint32_t value = 0;
    const auto* end = word.data() + word.size();
    auto [ptr, ec] = std::from_chars(word.data(), end, value);
    return !word.empty() && ec == std::errc() && ptr == end;
}

}  // namespace

std::optional<std::uint32_t> Command::Number(const std::string& keyword) const {
    auto it = flags.find(keyword);
    if (it == flags.end()) return std::nullopt;
    std::uint32_t value = 0;
    std::from_chars(it->second.data(), it->second.data() + it->second.size(), value);
    return value;
}

const std::string& Command::Text(const std::string& keyword) const {
    static const std::string none;
    auto it = flags.find(keyword);
    return it == flags.end() ? none : it->second;
}

Parsed Parse(std::string_view text) {
    Parsed result;
    std::vector<std::string> words;
    if (!Split(text, words)) return {kNoClosingQuote, {}};
    if (words.empty()) return {kMissingCommandString, {}};

    Command& command = result.command;
    command.verb = AsciiLower(words[0]);
    const Verb* verb = nullptr;
    for (const auto& v : Verbs())
        if (v.name == command.verb) verb = &v;
    if (!verb) return {kUnrecognizedCommand, {}};
    if (words.size() < 2) return {kMissingDeviceName, {}};
    command.device = words[1];

    for (std::size_t i = 2; i < words.size(); ++i) {
        const std::string name = AsciiLower(words[i]);
        const Keyword* keyword = FindKeyword(*verb, name);
        if (!keyword) return {kUnrecognizedKeyword, {}};
        if (command.Has(name)) return {kDuplicateFlags, {}};
        std::string value;
        if (keyword->arg != Arg::None) {
            if (i + 1 == words.size()) return {kMissingParameter, {}};
            value = words[++i];
            if (keyword->arg == Arg::Integer && !IsInteger(value)) return {kBadInteger, {}};
        }
        command.flags.emplace(name, std::move(value));
    }
    if (command.Has("notify") && command.Has("wait")) return {kFlagsNotCompatible, {}};
    return result;
}

}  // namespace platform::mci
