#include <array>
#include <string>

#include "cli/command_start.hpp"
#include "cli/commands.hpp"
#include "cli/project_check.hpp"

namespace orvalix::cli {
namespace {

constexpr std::string_view kHelp =
    "Usage: orvalix-cli check FOLDER\n"
    "\n"
    "Reads the data folder as the simulator does and reports, one line each as\n"
    "file:row:column: severity: message, what it would silently accept or ignore:\n"
    "expressions that do not compile, unreadable or missing files, unusable ports,\n"
    "settings that hold no number or no known keyword, jump targets without a label,\n"
    "steps whose frame has no file, duplicate labels, last lines without a line feed,\n"
    "quotes never closed, control characters in port, frame and condition names,\n"
    "expressions too long to be read whole, condition names that give one log file\n"
    "name, traffic history sizes below 1, histories above 64 MiB (a warning) or\n"
    "above the 1 GiB that a run allows (an error), and device paths (/dev/...) of\n"
    "serial ports that name no device here. Row and column 0 stand for the whole\n"
    "file. Lines of severity info, which are no findings, come first: the device\n"
    "each serial port opens.\n"
    "\n"
    "Exit status: 0 no finding, 1 at least one finding, 2 usage error.\n";

std::string plural(std::size_t count, std::string_view noun) {
    return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

}  // namespace

int runCheckCommand(std::span<const std::string> arguments, Console console) {
    const CommandStart start = startCommand(
        arguments, {.name = "check", .help = kHelp, .minPositional = 1, .maxPositional = 1,
                    .positionalError = "one FOLDER is needed", .folderFirst = true},
        console);
    if (start.exitStatus) {
        return *start.exitStatus;
    }
    const ParsedArguments& parsed = start.parsed;
    const CheckReport report = checkDataFolder(start.folder);
    for (const Finding& note : report.notes) {
        console.out << formatFinding(note) << "\n";
    }
    std::size_t errors = 0;
    for (const Finding& finding : report.findings) {
        console.out << formatFinding(finding) << "\n";
        errors += finding.severity == Severity::Error ? 1 : 0;
    }
    const CheckSummary& summary = report.summary;
    console.out << "check: " << plural(errors, "error") << ", "
                << plural(report.findings.size() - errors, "warning") << " in " << parsed.positional[0] << " ("
                << plural(summary.environments, "environment") << ", " << plural(summary.steps, "step") << ", "
                << plural(summary.namedConditions, "named condition") << ", " << plural(summary.frames, "frame")
                << ")\n";
    return report.findings.empty() ? kExitSuccess : kExitFailure;
}

}  // namespace orvalix::cli
