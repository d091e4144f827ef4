#include "cli/commands.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace orvalix::cli {
namespace {

const std::string kExampleFolder = std::string(ORVALIX_SOURCE_DIR) + "/examples/udp-request-response";

struct CommandCase {
    std::vector<std::string> arguments;
    int status;
    std::string out;          // the whole standard output
    std::string errFragment;  // a part of the error output
};

void expectCommand(const CommandCase& c) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = runCommandLine(c.arguments, {out, err});
    std::string joined;
    for (const auto& argument : c.arguments) joined += argument + " ";
    SCOPED_TRACE(joined);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(out.str(), c.out);
    EXPECT_NE(err.str().find(c.errFragment), std::string::npos) << err.str();
}

TEST(EvalCommand, PrintsTheValueInDecimalAndHexadecimal) {
    const CommandCase cases[] = {
        {{"eval", "1+2*3"}, 0, "9 (0x0000000000000009)\n", ""},
        {{"eval", "-1"}, 0, "-1 (0xFFFFFFFFFFFFFFFF)\n", ""},
        {{"eval", "--", "-1"}, 0, "-1 (0xFFFFFFFFFFFFFFFF)\n", ""},
        {{"eval", "1", "+", "2"}, 0, "3 (0x0000000000000003)\n", ""},
        {{"eval", "7 / 0"}, 0, "9223372036854775807 (0x7FFFFFFFFFFFFFFF)\n", ""},
        {{"eval", "R[1]", "--bytes", "R=02414203"}, 0, "65 (0x0000000000000041)\n", ""},
        {{"eval", "--bytes=R=02414203", "BCC(R, 0, 4)"}, 0, "2 (0x0000000000000002)\n", ""},
        {{"eval", "CRC_CCITT1(D, 0, 9)", "--bytes", "D=313233343536373839"}, 0, "36974 (0x000000000000906E)\n", ""},
        {{"eval", "R[0]"}, 0, "-1 (0xFFFFFFFFFFFFFFFF)\n", ""},
        {{"eval", "SinceLastRx"}, 0, "-1 (0xFFFFFFFFFFFFFFFF)\n", ""},
    };
    for (const auto& c : cases) expectCommand(c);
}

TEST(EvalCommand, ReportsCompileFailuresAndUsageErrors) {
    const CommandCase cases[] = {
        {{"eval", "1 ! 2"}, 1, "", "invalid token '!'"},
        {{"eval", "SUM(R, 0)"}, 1, "", "syntax error"},
        {{"eval"}, 2, "", "an EXPRESSION is needed"},
        {{"eval", "1", "--bytes", "R=0"}, 2, "", "odd number of hexadecimal digits"},
        {{"eval", "--frobnicate", "1"}, 2, "", "unknown option '--frobnicate'"},
    };
    for (const auto& c : cases) expectCommand(c);
}

TEST(FrameCommand, PrintsTheBytesTheDefinitionBuilds) {
    const CommandCase cases[] = {
        // The CRC field covers bytes 0 to 4 and fills two positions, low byte first.
        {{"frame", kExampleFolder, "StatusReply", "--bytes", "StatusRequest=02530703bcd6"},
         0, "02 73 07 00 03 e9 18\n", ""},
        // A missing buffer reads -1: the byte ff, and the BCC covers it.
        {{"frame", kExampleFolder, "AlarmAck"}, 0, "02 61 ff 03 9d\n", ""},
        {{"frame", kExampleFolder, "Heartbeat"}, 0, "02 48 00 03\n", ""},
        {{"frame", kExampleFolder, "NoSuchFrame"}, 1, "", "frame 'NoSuchFrame' is not defined"},
        {{"frame", kExampleFolder}, 2, "", "FOLDER and FRAME are needed"},
        {{"frame", kExampleFolder + "/missing", "X"}, 2, "", "is not a folder"},
    };
    for (const auto& c : cases) expectCommand(c);
}

TEST(CommandLine, DispatchesAndExplains) {
    const CommandCase cases[] = {
        {{}, 2, "", "Usage: orvalix-cli COMMAND"},
        {{"launch"}, 2, "", "unknown command 'launch'"},
        {{"check"}, 2, "", "one FOLDER is needed"},
    };
    for (const auto& c : cases) expectCommand(c);
    for (const std::string command : {"check", "eval", "frame"}) {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(runCommandLine(std::vector<std::string>{command, "--help"}, {out, err}), 0);
        EXPECT_NE(out.str().find("Usage: orvalix-cli " + command), std::string::npos) << command;
    }
}

}  // namespace
}  // namespace orvalix::cli
