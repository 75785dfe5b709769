#include "platform/music/mci_command.h"

#include <gtest/gtest.h>

namespace platform::mci {
namespace {

struct Case {
    const char* text;
    MCIERROR error;
    const char* verb;
    const char* device;
    std::map<std::string, std::string> flags;
};

TEST(MciCommand, ParsesVerbDeviceAndFlags) {
    const Case cases[] = {
        {"open []\\xlkfnjxlxr.mid alias FILE", 0, "open", "[]\\xlkfnjxlxr.mid", {{"alias", "FILE"}}},
        {"play FILE notify", 0, "play", "FILE", {{"notify", ""}}},
        {"stop FILE", 0, "stop", "FILE", {}},
        {"close FILE", 0, "close", "FILE", {}},
        {"close all", 0, "close", "all", {}},
        {"open a.mid type sequencer alias m wait",
         0,
         "open",
         "a.mid",
         {{"type", "sequencer"}, {"alias", "m"}, {"wait", ""}}},
        {"play m from 1000 to 2500", 0, "play", "m", {{"from", "1000"}, {"to", "2500"}}},
        {"status m mode", 0, "status", "m", {{"mode", ""}}},
        // blanks and case
        {"   play\t FILE    notify  ", 0, "play", "FILE", {{"notify", ""}}},
        {"OPEN x.MID Alias Music", 0, "open", "x.MID", {{"alias", "Music"}}},
        {"PlAy music NOTIFY", 0, "play", "music", {{"notify", ""}}},
        {"open \"my song.mid\" alias \"two words\"", 0, "open", "my song.mid", {{"alias", "two words"}}},
        // errors
        {"", kMissingCommandString, "", "", {}},
        {"   \t ", kMissingCommandString, "", "", {}},
        {"jump FILE", kUnrecognizedCommand, "", "", {}},
        {"playy FILE", kUnrecognizedCommand, "", "", {}},
        {"play", kMissingDeviceName, "", "", {}},
        {"play FILE loudly", kUnrecognizedKeyword, "", "", {}},
        {"stop FILE from 10", kUnrecognizedKeyword, "", "", {}},
        {"open a.mid alias", kMissingParameter, "", "", {}},
        {"play FILE from", kMissingParameter, "", "", {}},
        {"play FILE from ten", kBadInteger, "", "", {}},
        {"play FILE from -5", kBadInteger, "", "", {}},
        {"play FILE to 99999999999", kBadInteger, "", "", {}},
        {"play FILE notify notify", kDuplicateFlags, "", "", {}},
        {"play FILE notify wait", kFlagsNotCompatible, "", "", {}},
        {"open \"a.mid alias x", kNoClosingQuote, "", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Parsed parsed = Parse(c.text);
        EXPECT_EQ(parsed.error, c.error);
        if (c.error) continue;
        EXPECT_EQ(parsed.command.verb, c.verb);
        EXPECT_EQ(parsed.command.device, c.device);
        EXPECT_EQ(parsed.command.flags, c.flags);
    }
}

TEST(MciCommand, NumbersAndTextsOfFlags) {
    const Parsed parsed = Parse("play m from 0 to 4294967295");
    ASSERT_EQ(parsed.error, 0u);
    EXPECT_EQ(parsed.command.Number("from"), 0u);
    EXPECT_EQ(parsed.command.Number("to"), 4294967295u);
    EXPECT_EQ(parsed.command.Number("notify"), std::nullopt);
    EXPECT_EQ(parsed.command.Text("alias"), "");
}

}  // namespace
}  // namespace platform::mci
