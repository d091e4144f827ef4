#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cli/argument_parser.hpp"
#include "cli/commands.hpp"

namespace orvalix::cli {

// What every command checks before its own work.
struct CommandSyntax {
    std::string_view name;  // as in "orvalix-cli NAME"
    std::string_view help;  // the whole --help text
    std::span<const OptionSpec> options{};
    std::size_t minPositional = 0;
    std::size_t maxPositional = std::numeric_limits<std::size_t>::max();
    std::string_view positionalError;  // the usage error when the count is off
    bool folderFirst = false;          // the first positional argument names the data folder
};

struct CommandStart {
    ParsedArguments parsed;
    std::u16string folder;          // with folderFirst
    std::optional<int> exitStatus;  // set when the command ends here: help shown or usage error reported
};

// Parses the arguments after the command name; answers --help and reports usage errors on
// the console, in that order.
CommandStart startCommand(std::span<const std::string> arguments, const CommandSyntax& syntax,
                          Console console);

}  // namespace orvalix::cli
