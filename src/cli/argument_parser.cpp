#include "cli/argument_parser.hpp"

#include <algorithm>

namespace orvalix::cli {

std::vector<std::string> ParsedArguments::values(std::string_view option) const {
    const auto found = options.find(option);
    return found == options.end() ? std::vector<std::string>{} : found->second;
}

ParsedArguments parseArguments(std::span<const std::string> arguments, std::span<const OptionSpec> options) {
    ParsedArguments parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || !argument.starts_with("-") || argument == "-" ||
            (!argument.starts_with("--") && argument != "-h")) {
            parsed.positional.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "-h" || argument == "--help") {
            parsed.help = true;
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string_view name = std::string_view(argument).substr(0, equals);
        const auto known = std::find_if(options.begin(), options.end(),
                                       [name](const OptionSpec& option) { return option.name == name; });
        if (known == options.end()) {
            parsed.error = "unknown option '" + std::string(name) + "'";
            return parsed;
        }
        std::vector<std::string>& values = parsed.options[std::string(name)];
        if (!known->takesValue) {
            if (equals != std::string::npos) {
                parsed.error = "option '" + std::string(name) + "' takes no value";
                return parsed;
            }
            continue;
        }
        if (equals != std::string::npos) {
            values.push_back(argument.substr(equals + 1));
        } else if (i + 1 < arguments.size()) {
            values.push_back(arguments[++i]);
        } else {
            parsed.error = "option '" + std::string(name) + "' needs a value";
            return parsed;
        }
    }
    return parsed;
}

}  // namespace orvalix::cli
