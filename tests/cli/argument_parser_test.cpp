#include "cli/argument_parser.hpp"

#include <gtest/gtest.h>

#include <array>
#include <tuple>

namespace orvalix::cli {
namespace {

using Texts = std::vector<std::string>;

TEST(ArgumentParser, SeparatesPositionalArgumentsOptionsAndErrors) {
    constexpr std::array kOptions{OptionSpec{"--bytes", true}, OptionSpec{"--quiet", false}};
    // Arguments; positional ones, --bytes values, help and --quiet seen; or the error.
    const std::tuple<Texts, Texts, Texts, bool, bool, std::string> cases[] = {
        // A leading single minus is an expression, not an option.
        {{"-1", "-"}, {"-1", "-"}, {}, false, false, ""}, {{"--", "-h"}, {"-h"}, {}, false, false, ""},
        {{"--bytes", "R=01", "x", "--quiet"}, {"x"}, {"R=01"}, false, true, ""},
        {{"--bytes=R=01", "--bytes", "S=02"}, {}, {"R=01", "S=02"}, false, false, ""},
        {{"x", "-h"}, {"x"}, {}, true, false, ""}, {{"--help"}, {}, {}, true, false, ""},
        {{"--bytes"}, {}, {}, false, false, "option '--bytes' needs a value"},
        {{"--frobnicate"}, {}, {}, false, false, "unknown option '--frobnicate'"},
        {{"--quiet=yes"}, {}, {}, false, false, "option '--quiet' takes no value"}};
    for (const auto& [arguments, positional, bytes, help, quiet, error] : cases) {
        const ParsedArguments got = parseArguments(arguments, kOptions);
        EXPECT_EQ(got.error, error) << arguments.front();
        if (error.empty()) {
            EXPECT_EQ(std::tuple(got.positional, got.values("--bytes"), got.help, got.has("--quiet")),
                      std::tie(positional, bytes, help, quiet)) << arguments.front();
        }
    }
}

}  // namespace
}  // namespace orvalix::cli
