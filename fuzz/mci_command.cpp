// Command strings, one a line, through the parser: what it accepts is in the shape the
// dispatcher relies on, and what it refuses carries nothing.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz_support.h"
#include "platform/ascii.h"
#include "platform/music/mci_command.h"

namespace {

using fuzz::Require;

// What a parsed command must look like, whatever the text was.
void CheckParsed(const platform::mci::Parsed& parsed) {
    if (parsed.error != 0) {
        Require(parsed.command.verb.empty() && parsed.command.flags.empty(), "a refused command keeps parts");
        return;
    }
    const auto& command = parsed.command;
    Require(command.verb == platform::AsciiLower(command.verb), "verb not in lower case");
    for (const auto& [keyword, value] : command.flags)
        Require(keyword == platform::AsciiLower(keyword), "keyword not in lower case");
    Require(!(command.Has("notify") && command.Has("wait")), "notify with wait");
    for (const char* keyword : {"from", "to"})
        if (command.Has(keyword)) Require(command.Number(keyword).has_value(), "a checked number has no value");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    fuzz::ForEachLine(text, [](std::string_view line) { CheckParsed(platform::mci::Parse(line)); });
    return 0;
}
