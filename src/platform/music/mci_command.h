// Parsing of multimedia command strings: "verb device [keyword [value]]...".
// Keywords are case-insensitive; blanks between words may be repeated; a word in double
// quotes may hold blanks. Each verb has its own keywords, some of which take a value.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/music/mmsystem.h"

namespace platform::mci {

struct Command {
    std::string verb;                          // lower case
    std::string device;                        // as written, without quotes
    std::map<std::string, std::string> flags;  // lower-case keyword -> value ("" for none)

    bool Has(const std::string& keyword) const { return flags.count(keyword) != 0; }
    // A keyword's integer value; the parser has checked it.
    std::optional<std::uint32_t> Number(const std::string& keyword) const;
    const std::string& Text(const std::string& keyword) const;
};

struct Parsed {
    MCIERROR error = 0;
    Command command;
};

Parsed Parse(std::string_view text);

}  // namespace platform::mci
