// check on a system whose devices are files: the device each serial port opens, and device
// paths that name no device here.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "../core/project/temp_folder.hpp"
#include "cli/commands.hpp"
#include "cli/project_check.hpp"

namespace orvalix::cli {
namespace {

// An environment file of a serial port that check has nothing else to say of.
std::string serialFile(const std::string& port) {
    std::string text = "Setting,Description,Value\nPort,," + port + "\nRecords,,10\nRecordLength,,10\n";
    text += "PreTrigger,,0\nPostTrigger,,0\n,,\n,,\n,,\n,,\nBitRate,,9600\n,,\n,,\n,,\n,,\nCharTimeout,,50\n";
    return text;
}

std::vector<std::string> messages(const std::vector<Finding>& findings) {
    std::vector<std::string> texts;
    for (const Finding& finding : findings) texts.push_back(finding.message);
    return texts;
}

TEST(CheckSerialDevices, EachSerialPortShowsItsDeviceAndADevicePathThatNamesNoneIsWarnedOf) {
    const std::string absent = "/dev/ttyORVALIX97";
    ASSERT_FALSE(std::filesystem::exists(absent));
    struct Case {
        const char* rule;
        std::string port;
        std::vector<std::string> notes;
        std::vector<std::string> findings;
    };
    const Case cases[] = {
        {"a device that is there", "/dev/null", {"serial port \"/dev/null\" opens the device /dev/null"}, {}},
        {"a device path with nothing there",
         absent,
         {"serial port \"" + absent + "\" opens the device " + absent + " (not there now)"},
         {"serial port \"" + absent + "\" names no device here: Start fails with \"Can't open " + absent +
          "\" unless one is plugged in by then"}},
        {"a device path that is no device",
         "/dev/",
         {"serial port \"/dev/\" opens the device /dev/ (no character device)"},
         {"serial port \"/dev/\" is no character device: Start fails with \"Can't open /dev/\""}},
        {"a COM name is shown but not warned of: a folder made for Windows keeps it",
         "COM3",
         {"serial port \"COM3\" opens the device /dev/COM3 (not there now)"},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        const test::TempFolder folder;
        folder.write(u"S1.Environments.csv", serialFile(c.port));
        const CheckReport report = checkDataFolder(folder.wide());
        EXPECT_EQ(messages(report.notes), c.notes);
        EXPECT_EQ(messages(report.findings), c.findings);
    }
}

// Notes come before the findings and count for neither the summary nor the exit status; a UDP
// port gets none.
TEST(CheckSerialDevices, TheCommandPrintsNotesFirstAndCountsThemNot) {
    const test::TempFolder folder;
    const std::string path = folder.path().string();
    folder.write(u"S1.Environments.csv", serialFile("/dev/null"));
    folder.write(u"U1.Environments.csv", "Setting,Description,Value\nPort,,127.0.0.1:50101\nRecords,,10\n"
                                         "RecordLength,,10\nPreTrigger,,0\nPostTrigger,,0\n");
    std::ostringstream out, err;
    EXPECT_EQ(runCommandLine(std::vector<std::string>{"check", path}, {out, err}), kExitSuccess);
    EXPECT_EQ(out.str(), path + "/S1.Environments.csv:2:3: info: serial port \"/dev/null\" opens the device /dev/null\n"
                         "check: 0 errors, 0 warnings in " + path +
                         " (2 environments, 0 steps, 0 named conditions, 0 frames)\n");
}

TEST(CheckSerialDevices, TwoNamesOfOneDeviceShareThePort) {
    const test::TempFolder folder;
    folder.write(u"S1.Environments.csv", serialFile("null"));
    folder.write(u"S2.Environments.csv", serialFile("/dev/null"));
    EXPECT_EQ(messages(checkDataFolder(folder.wide()).findings),
              std::vector<std::string>{"environment \"S2\" opens the serial port \"/dev/null\", as environment \"S1\" "
                                       "does: only the first can, so Start fails with \"Can't open /dev/null\""});
}

}  // namespace
}  // namespace orvalix::cli
