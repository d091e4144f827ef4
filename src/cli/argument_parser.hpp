#pragma once

#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvalix::cli {

struct OptionSpec {
    std::string_view name;  // with its leading "--"
    bool takesValue;
};

struct ParsedArguments {
    std::vector<std::string> positional;
    std::map<std::string, std::vector<std::string>, std::less<>> options;
    bool help = false;
    std::string error;  // empty when the arguments parsed

    bool has(std::string_view option) const { return options.find(option) != options.end(); }
    std::vector<std::string> values(std::string_view option) const;
};

// "--name value" and "--name=value" for options that take a value; "-h"/"--help" anywhere;
// "--" ends the options. A single-dash argument such as "-1" is positional, so expressions
// that begin with a minus sign need no escaping.
ParsedArguments parseArguments(std::span<const std::string> arguments, std::span<const OptionSpec> options);

}  // namespace orvalix::cli
