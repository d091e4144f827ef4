#include "cli/commands.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

namespace orvalix::cli {
namespace {

const std::string kExamples = std::string(ORVALIX_SOURCE_DIR) + "/examples/";

// Arguments; exit status; the whole standard output; a part of the error output.
using CommandCase = std::tuple<std::vector<std::string>, int, std::string, std::string>;

void expectCommands(const std::vector<CommandCase>& cases) {
    for (const auto& [arguments, status, outText, errPart] : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(runCommandLine(arguments, {out, err}), status) << testing::PrintToString(arguments);
        EXPECT_EQ(out.str(), outText) << testing::PrintToString(arguments);
        EXPECT_NE(err.str().find(errPart), std::string::npos) << err.str();
    }
}

TEST(EvalCommand, PrintsTheValueInDecimalAndHexadecimalOrWhyNot) {
    expectCommands({
        {{"eval", "1+2*3"}, 0, "9 (0x0000000000000009)\n", ""},
        {{"eval", "--", "-1"}, 0, "-1 (0xFFFFFFFFFFFFFFFF)\n", ""},
        {{"eval", "1", "+", "2"}, 0, "3 (0x0000000000000003)\n", ""},
        {{"eval", "R[1]", "--bytes", "R=02414203"}, 0, "65 (0x0000000000000041)\n", ""},
        // A later buffer of the same name wins.
        {{"eval", "R[1]", "--bytes", "R=01", "--bytes", "R=0203"}, 0, "3 (0x0000000000000003)\n", ""},
        {{"eval", "COPY(R, 1, LEN(R) - 1)", "--bytes", "R=02414203"}, 0, "3 bytes: 41 42 03\n", ""},
        {{"eval", "COPY(R, 4, 1)", "--bytes", "R=02414203"}, 0,
         "no bytes (the range is empty or lies outside the buffer, or the name is unknown)\n", ""},
        {{"eval", "COPY(R, 0, 1) + 1"}, 1, "", "COPY must be a frame row's whole expression (column 1)"},
        {{"eval", "1 ! 2"}, 1, "", "invalid token '!' (column 3)"},
        {{"eval", " "}, 1, "", "syntax error: empty expression"},
        {{"eval"}, 2, "", "an EXPRESSION is needed"},
        {{"eval", "1", "--bytes", "R=0"}, 2, "", "odd number of hexadecimal digits"},
    });
}

TEST(FrameCommand, PrintsTheBytesTheDefinitionBuilds) {
    const std::string folder = kExamples + "udp-request-response";
    expectCommands({
        // The CRC field covers bytes 0 to 4 and fills two positions, low byte first.
        {{"frame", folder, "StatusReply", "--bytes", "StatusRequest=02530703bcd6"},
         0, "02 73 07 00 03 e9 18\n", ""},
        // A missing buffer reads -1: the byte ff, and the BCC covers it.
        {{"frame", folder, "AlarmAck"}, 0, "02 61 ff 03 9d\n", ""},
        {{"frame", folder, "NoSuchFrame"}, 1, "", "frame 'NoSuchFrame' is not defined"},
        {{"frame", folder}, 2, "", "FOLDER and FRAME are needed"},
        {{"frame", folder + "/missing", "X"}, 2, "", "is not a folder"},
    });
    const std::string modbus = kExamples + "modbus-rtu";
    expectCommands({
        // Registers 10 to 12 hold 1010 to 1012, each high byte first; the CRC follows the last.
        {{"frame", modbus, "Read03", "--bytes", "R=0103000a000325c9"},
         0, "01 03 06 03 f2 03 f3 03 f4 e9 93\n", ""},
        // The write's echo is the request: its first six bytes copied and the same CRC made afresh.
        {{"frame", modbus, "Write", "--bytes", "R=01060063beef49f8"}, 0, "01 06 00 63 be ef 49 f8\n", ""},
        {{"frame", modbus, "IllegalDataAddress", "--bytes", "R=01060064000109d5"}, 0, "01 86 02 c3 a1\n", ""},
    });
}

TEST(RunCommand, UsageErrorsExitWithStatus2BeforeAnythingRuns) {
    const std::string folder = kExamples + "demo";
    std::vector<CommandCase> cases = {
        {{"run"}, 2, "", "orvalix-cli run: one FOLDER is needed"},
        {{"run", folder, folder}, 2, "", "orvalix-cli run: one FOLDER is needed"},
        {{"run", folder + "/E1.Environments.csv"}, 2, "", "run: '" + folder + "/E1.Environments.csv' is not"},
        {{"run", folder, "--trace-dir", folder + "/missing"}, 2, "", "orvalix-cli run: --trace-dir '"},
        // Which counts are refused is the byte count's own test.
        {{"run", folder, "--max-ring-memory", "1T"}, 2, "", "bytes above 0 (K, M or G may follow), not '1T'"},
        // The format's name is exact.
        {{"run", folder, "--format", "JSONL"}, 2, "", "orvalix-cli run: --format needs text or jsonl, not 'JSONL'"},
        {{"run", folder, "--seed", "-1"}, 2, "", "--seed needs a whole number from 0 to 18446744073709551615, not '-1'"},
        {{"run", folder, "--seed", "18446744073709551616"}, 2, "", "--seed needs a whole number from 0 to"}};
    for (const std::string seconds : {"ten", "-1", "0", "1e3"}) {
        cases.push_back({{"run", folder, "--for", seconds}, 2, "", "seconds above 0, not '" + seconds + "'"});
    }
    expectCommands(cases);
}

TEST(CommandLine, DispatchesAndExplains) {
    expectCommands({{{}, 2, "", "Usage: orvalix-cli COMMAND"},
                    {{"launch"}, 2, "", "unknown command 'launch'"},
                    {{"check"}, 2, "", "one FOLDER is needed"}});
    for (const std::string command : {"check", "eval", "frame", "run"}) {
        std::ostringstream out, err;
        EXPECT_EQ(runCommandLine(std::vector<std::string>{command, "--help"}, {out, err}), 0);
        EXPECT_NE(out.str().find("Usage: orvalix-cli " + command), std::string::npos) << command;
    }
}

}  // namespace
}  // namespace orvalix::cli
