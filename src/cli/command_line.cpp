#include <string_view>

#include "cli/commands.hpp"

namespace orvalix::cli {
namespace {

constexpr std::string_view kToolHelp =
    "Usage: orvalix-cli COMMAND [ARGUMENTS]\n"
    "\n"
    "Orvalix simulates communication partners on serial lines, HDLC links and UDP,\n"
    "answering by the script of a data folder of CSV files.\n"
    "\n"
    "Commands:\n"
    "  check FOLDER                      report what the data folder's files hold that the\n"
    "                                    simulator would silently accept or ignore\n"
    "  eval EXPRESSION [--bytes NAME=HEX ...]\n"
    "                                    compile and evaluate one expression\n"
    "  frame FOLDER FRAME [--bytes NAME=HEX ...]\n"
    "                                    print the bytes a frame definition builds\n"
    "  run FOLDER [--for SECONDS] [--trace-dir DIR] [--quiet]\n"
    "                                    run the data folder: serve its ports and print the\n"
    "                                    traffic until Ctrl-C or the end of --for\n"
    "\n"
    "Run 'orvalix-cli COMMAND --help' for the details of a command.\n"
    "Exit status: 0 success, 1 findings or failure, 2 usage error.\n";

}  // namespace

int usageError(Console console, std::string_view command, std::string_view message) {
    const std::string prefix = command.empty() ? "orvalix-cli" : "orvalix-cli " + std::string(command);
    console.err << prefix << ": " << message << "\n"
                << "Try '" << prefix << " --help'.\n";
    return kExitUsage;
}

int runCommandLine(std::span<const std::string> arguments, Console console) {
    if (arguments.empty()) {
        console.err << kToolHelp;
        return kExitUsage;
    }
    const std::string& command = arguments.front();
    const auto rest = arguments.subspan(1);
    if (command == "check") return runCheckCommand(rest, console);
    if (command == "eval") return runEvalCommand(rest, console);
    if (command == "frame") return runFrameCommand(rest, console);
    if (command == "run") return runRunCommand(rest, console);
    if (command == "--help" || command == "-h" || command == "help") {
        console.out << kToolHelp;
        return kExitSuccess;
    }
    return usageError(console, "", "unknown command '" + command + "'");
}

}  // namespace orvalix::cli
