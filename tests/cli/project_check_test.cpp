#include "cli/project_check.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/text/text_conversion.hpp"

namespace orvalix::cli {
namespace {

std::u16string exampleFolder(std::string_view name) {
    return toWide(std::string(ORVALIX_SOURCE_DIR) + "/examples/" + std::string(name));
}

struct Expected {
    std::string fileName;
    std::size_t row;
    std::size_t column;
    Severity severity;
    std::string messagePart;
};

constexpr auto E = Severity::Error;
constexpr auto W = Severity::Warning;

TEST(ProjectCheck, TheBundledExampleHasNoFinding) {
    const CheckReport report = checkDataFolder(exampleFolder("udp-request-response"));
    for (const Finding& finding : report.findings) {
        ADD_FAILURE() << formatFinding(finding);
    }
    EXPECT_EQ(report.summary.environments, 2u);
    EXPECT_EQ(report.summary.steps, 3u);
    EXPECT_EQ(report.summary.namedConditions, 2u);
    EXPECT_EQ(report.summary.frames, 3u);
}

TEST(ProjectCheck, ReportsWhatTheLoadersAcceptSilently) {
    const Expected expected[] = {
        {"H1.Environments.csv", 13, 3, W, "frame check \"CRC16\" is not a keyword"},
        {"H1.Environments.csv", 16, 3, W, "line interface \"RS-422\" is not a keyword (\"RS-232C\", \"RS-485\"; "
                                          "compared exactly): RS-232C line is used"},
        {"P1.Environments.csv", 3, 3, E, "number of traffic records is 0"},
        {"P1.Environments.csv", 6, 3, W, "records after a trigger \"five\" holds no number: 0 is used"},
        {"P1.Environments.csv", 11, 3, W, "bit rate \"fast\" holds no number"},
        {"P1.Environments.csv", 11, 3, W, "bit rate is 0: the port cannot be opened"},
        {"P1.Environments.csv", 12, 3, W, "parity \"even\" is not a keyword (\"None\", \"Odd\"; compared exactly): "
                                          "even parity is used"},
        {"P1.Environments.csv", 15, 3, W, "flow control \"rts/cts\" is not a keyword"},
        {"P1.Environments.csv", 16, 0, W, "the last line has no line feed and is ignored"},
        {"P1.Named.csv", 2, 2, E, "condition \"SUM(R, 0)\" does not compile: syntax error at 'SUM' (column 1)"},
        {"P1.Named.csv", 3, 3, E, "mark condition \"1 !\" does not compile: invalid token '!' (column 3)"},
        {"P1.Sequences.csv", 2, 2, E, "invalid token '&&' (column 14)"},
        {"P1.Sequences.csv", 2, 5, W, "jump target \"start\" matches no label"},
        {"P1.Sequences.csv", 3, 1, W, "label \"again\" appears again on line 5"},
        {"P1.Sequences.csv", 3, 3, W, "frame \"Missing\" has no readable file \"Missing.csv\""},
        {"P1.Sequences.csv", 3, 5, W, "jump target \"nowhere\" matches no label"},
        {"P1.Sequences.csv", 4, 0, W, "an empty line is a step"},
        {"P1.Sequences.csv", 5, 2, E, "syntax error at 'Since' (column 1)"},
        {"P1.Sequences.csv", 5, 4, E, "jump condition \"SUM(R; 0; 1)\" does not compile: invalid token 'R;'"},
        {"P1.Sequences.csv", 6, 2, W, "transmit condition is empty: it counts as holding (-1)"},
        {"P1.Sequences.csv", 7, 3, W, "frame \"../secret\" is not a file name in the data folder"},
        {"P1.Sequences.csv", 9, 3, W, "frame \"応答フレーム\" has no readable file"},
        {"P2.Environments.csv", 0, 0, E, "missing: another file ending in .Environments.csv names this environment"},
        {"Q5.Environments.csv", 2, 3, W, "port \"nosuchport\" is not usable"},
        {"Reply.csv", 3, 2, E, "field \"0x1G\" does not compile: invalid token '0x1G' (column 1); it gives the byte ff"},
        {"Reply.csv", 5, 2, W, "never evaluated: its position holds the high byte of the two-byte field on line 4"},
        {"Reply.csv", 6, 2, W, "field is empty: it gives the byte ff"},
        {"U7.Environments.csv", 11, 3, W, "remote endpoint \"127.0.0.1\" does not parse as host:port"},
        {"応答フレーム.csv", 0, 0, E, "not valid UTF-8 at byte offset 6"},
    };
    const CheckReport report = checkDataFolder(exampleFolder("broken"));
    ASSERT_EQ(report.findings.size(), std::size(expected));
    for (std::size_t i = 0; i < report.findings.size(); ++i) {
        const Finding& finding = report.findings[i];
        const Expected& want = expected[i];
        SCOPED_TRACE(formatFinding(finding));
        EXPECT_EQ(toNarrow(std::filesystem::path(toWide(finding.file)).filename().u16string()), want.fileName);
        EXPECT_EQ(finding.row, want.row);
        EXPECT_EQ(finding.column, want.column);
        EXPECT_EQ(finding.severity, want.severity);
        EXPECT_NE(finding.message.find(want.messagePart), std::string::npos);
    }
}

TEST(ProjectCheck, AFolderWithoutEnvironmentsIsAFinding) {
    const CheckReport report = checkDataFolder(toWide(std::string(ORVALIX_SOURCE_DIR) + "/examples"));
    ASSERT_EQ(report.findings.size(), 1u);
    EXPECT_NE(report.findings[0].message.find("defines no environment"), std::string::npos);
}

TEST(ProjectCheck, FormatsOneLinePerFinding) {
    EXPECT_EQ(formatFinding({"a/P1.Sequences.csv", 3, 2, Severity::Error, "broken"}),
              "a/P1.Sequences.csv:3:2: error: broken");
    EXPECT_EQ(formatFinding({"f.csv", 0, 0, Severity::Warning, "w"}), "f.csv:0:0: warning: w");
}

}  // namespace
}  // namespace orvalix::cli
