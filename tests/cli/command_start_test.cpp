// What every command checks before its own work, in the order a user meets it.

#include "cli/command_start.hpp"

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>
#include <vector>

#include "core/text/text_conversion.hpp"

namespace orvalix::cli {
namespace {

constexpr std::array kOptions{OptionSpec{"--level", true}};
const std::string kFolder = ORVALIX_SOURCE_DIR;

// A command "demo" that takes FOLDER and one more argument.
constexpr CommandSyntax kDemo{.name = "demo",
                              .help = "Usage: orvalix-cli demo FOLDER NAME\n",
                              .options = kOptions,
                              .minPositional = 2,
                              .maxPositional = 2,
                              .positionalError = "FOLDER and NAME are needed",
                              .folderFirst = true};

struct Case {
    const char* rule;
    std::vector<std::string> arguments;
    std::optional<int> exitStatus;
    std::string out;
    std::string err;
};

TEST(StartCommand, AnswersHelpThenReportsTheFirstUsageErrorOrLetsTheCommandGoOn) {
    const std::string tryHelp = "\nTry 'orvalix-cli demo --help'.\n";
    const std::string needed = "orvalix-cli demo: FOLDER and NAME are needed" + tryHelp;
    const Case cases[] = {
        {"--help is answered before the arguments are counted", {"x", "--help"}, kExitSuccess,
         std::string(kDemo.help), ""},
        {"an unknown option is a usage error of the command", {kFolder, "x", "--nope"}, kExitUsage, "",
         "orvalix-cli demo: unknown option '--nope'" + tryHelp},
        {"too few arguments", {kFolder}, kExitUsage, "", needed},
        {"too many arguments", {kFolder, "x", "y"}, kExitUsage, "", needed},
        {"the count is checked before the folder", {"/no/such/folder"}, kExitUsage, "", needed},
        {"a first argument that is no folder", {"/no/such/folder", "x"}, kExitUsage, "",
         "orvalix-cli demo: '/no/such/folder' is not a folder" + tryHelp},
        {"good arguments leave the console alone", {kFolder, "x", "--level", "3"}, std::nullopt, "", ""},
    };
    for (const Case& c : cases) {
        std::ostringstream out, err;
        const CommandStart start = startCommand(c.arguments, kDemo, {out, err});
        EXPECT_EQ(start.exitStatus, c.exitStatus) << c.rule;
        EXPECT_EQ(out.str(), c.out) << c.rule;
        EXPECT_EQ(err.str(), c.err) << c.rule;
        if (!c.exitStatus) {
            EXPECT_EQ(start.folder, toWide(kFolder)) << c.rule;
            EXPECT_EQ(start.parsed.values("--level"), std::vector<std::string>{"3"}) << c.rule;
        }
    }
}

}  // namespace
}  // namespace orvalix::cli
