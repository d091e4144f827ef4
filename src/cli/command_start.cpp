#include "cli/command_start.hpp"

#include <utility>

#include "cli/folder_argument.hpp"

namespace orvalix::cli {

CommandStart startCommand(std::span<const std::string> arguments, const CommandSyntax& syntax,
                          Console console) {
    CommandStart start{parseArguments(arguments, syntax.options), {}, std::nullopt};
    const ParsedArguments& parsed = start.parsed;
    if (parsed.help) {
        console.out << syntax.help;
        start.exitStatus = kExitSuccess;
    } else if (!parsed.error.empty()) {
        start.exitStatus = usageError(console, syntax.name, parsed.error);
    } else if (parsed.positional.size() < syntax.minPositional ||
               parsed.positional.size() > syntax.maxPositional) {
        start.exitStatus = usageError(console, syntax.name, syntax.positionalError);
    } else if (syntax.folderFirst && !parsed.positional.empty()) {
        ArgumentRead<std::u16string> argument = readFolderArgument(parsed.positional[0]);
        if (argument.value) {
            start.folder = std::move(*argument.value);
        } else {
            start.exitStatus = usageError(console, syntax.name, argument.error);
        }
    }
    return start;
}

}  // namespace orvalix::cli
