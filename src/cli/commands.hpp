#pragma once

#include <ostream>
#include <span>
#include <string>

namespace orvalix::cli {

// Exit statuses shared by every command.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // a finding, a failed compile, an unknown frame
inline constexpr int kExitUsage = 2;

struct Console {
    std::ostream& out;
    std::ostream& err;
};

// Each takes the arguments after its command name.
int runCheckCommand(std::span<const std::string> arguments, Console console);
int runEvalCommand(std::span<const std::string> arguments, Console console);
int runFrameCommand(std::span<const std::string> arguments, Console console);
int runRunCommand(std::span<const std::string> arguments, Console console);

// The whole tool: the arguments after the program name.
int runCommandLine(std::span<const std::string> arguments, Console console);

// Reports a usage error in the tool's one format and returns kExitUsage.
int usageError(Console console, std::string_view command, std::string_view message);

}  // namespace orvalix::cli
