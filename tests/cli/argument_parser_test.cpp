#include "cli/argument_parser.hpp"

#include <gtest/gtest.h>

#include <array>

namespace orvalix::cli {
namespace {

constexpr std::array kOptions{OptionSpec{"--bytes", true}, OptionSpec{"--quiet", false}};

struct ParseCase {
    std::vector<std::string> arguments;
    std::vector<std::string> positional;
    std::vector<std::string> bytes;
    bool help;
    std::string error;
};

TEST(ArgumentParser, SeparatesPositionalArgumentsOptionsAndErrors) {
    const ParseCase cases[] = {
        {{"1+2"}, {"1+2"}, {}, false, ""},
        // A leading minus is an expression, not an option.
        {{"-1"}, {"-1"}, {}, false, ""},
        {{"--", "--bytes"}, {"--bytes"}, {}, false, ""},
        {{"--bytes", "R=01", "x"}, {"x"}, {"R=01"}, false, ""},
        {{"--bytes=R=01", "--bytes", "S=02"}, {}, {"R=01", "S=02"}, false, ""},
        {{"x", "-h"}, {"x"}, {}, true, ""},
        {{"--help"}, {}, {}, true, ""},
        {{"--bytes"}, {}, {}, false, "option '--bytes' needs a value"},
        {{"--frobnicate"}, {}, {}, false, "unknown option '--frobnicate'"},
        {{"--quiet=yes"}, {}, {}, false, "option '--quiet' takes no value"},
        {{"-"}, {"-"}, {}, false, ""},
    };
    for (const ParseCase& c : cases) {
        const ParsedArguments parsed = parseArguments(c.arguments, kOptions);
        SCOPED_TRACE(c.arguments.empty() ? "" : c.arguments.front());
        EXPECT_EQ(parsed.error, c.error);
        if (!c.error.empty()) continue;
        EXPECT_EQ(parsed.positional, c.positional);
        EXPECT_EQ(parsed.values("--bytes"), c.bytes);
        EXPECT_EQ(parsed.help, c.help);
    }
}

TEST(ArgumentParser, RecordsFlagsThatTakeNoValue) {
    const std::vector<std::string> arguments{"--quiet", "folder"};
    const ParsedArguments parsed = parseArguments(arguments, kOptions);
    EXPECT_TRUE(parsed.has("--quiet"));
    EXPECT_FALSE(parsed.has("--bytes"));
    EXPECT_EQ(parsed.positional, std::vector<std::string>{"folder"});
}

}  // namespace
}  // namespace orvalix::cli
