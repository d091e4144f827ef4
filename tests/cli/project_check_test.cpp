#include "cli/project_check.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "core/text/text_conversion.hpp"

namespace orvalix::cli {
namespace {

const std::u16string kExamples = toWide(std::string(ORVALIX_SOURCE_DIR) + "/examples/");

TEST(ProjectCheck, TheBundledExampleHasNoFinding) {
    const CheckReport report = checkDataFolder(kExamples + u"udp-request-response");
    for (const Finding& finding : report.findings) ADD_FAILURE() << formatFinding(finding);
    const auto& summary = report.summary;
    EXPECT_EQ(std::tie(summary.environments, summary.steps, summary.namedConditions, summary.frames),
              std::tuple(2u, 3u, 2u, 3u));
}

TEST(ProjectCheck, ReportsWhatTheLoadersAcceptSilently) {
    // Per file, in report order: row, column, severity (E or W) and a part of the message.
    using Expected = std::tuple<std::size_t, std::size_t, char, std::string>;
    const std::pair<std::string, std::vector<Expected>> expected[] = {
        {"H1.Environments.csv", {{13, 3, 'W', "\"CRC16\" is not a keyword"}, {16, 3, 'W', "RS-232C line"}}},
        {"P1.Environments.csv",
         {{3, 3, 'E', "traffic records is 0"}, {6, 3, 'W', "\"five\" holds no number"},
          {11, 3, 'W', "\"fast\""}, {11, 3, 'W', "bit rate is 0"}, {12, 3, 'W', "even parity is used"},
          {15, 3, 'W', "\"rts/cts\" is not a keyword"}, {16, 0, 'W', "no line feed"}}},
        {"P1.Named.csv", {{2, 2, 'E', "syntax error at 'SUM' (column 1)"}, {3, 3, 'E', "invalid token '!'"}}},
        {"P1.Sequences.csv",
         {{2, 2, 'E', "invalid token '&&' (column 14)"}, {2, 5, 'W', "\"start\" matches no label"},
          {3, 1, 'W', "\"again\" appears again on line 5"}, {3, 3, 'W', "no readable file \"Missing.csv\""},
          {3, 5, 'W', "\"nowhere\" matches no label"}, {4, 0, 'W', "an empty line is a step"},
          {5, 2, 'E', "syntax error at 'Since' (column 1)"}, {5, 4, 'E', "invalid token 'R;' (column 5)"},
          {6, 2, 'W', "transmit condition is empty"}, {7, 3, 'W', "\"../secret\" is not a file name"},
          {9, 3, 'W', "\"応答フレーム\" has no readable file"}}},
        {"P2.Environments.csv", {{0, 0, 'E', "another file ending in .Environments.csv"}}},
        {"Q5.Environments.csv", {{2, 3, 'W', "\"nosuchport\" is not usable"}}},
        {"Reply.csv",
         {{3, 2, 'E', "invalid token '0x1G' (column 1); it gives the byte ff"},
          {5, 2, 'W', "high byte of the two-byte field on line 4"}, {6, 2, 'W', "field is empty: it gives"}}},
        {"U7.Environments.csv", {{11, 3, 'W', "\"127.0.0.1\" does not parse as host:port"}}},
        {"応答フレーム.csv", {{0, 0, 'E', "not valid UTF-8 at byte offset 6"}}}};
    const CheckReport report = checkDataFolder(kExamples + u"broken");
    auto finding = report.findings.begin();
    for (const auto& [fileName, findings] : expected) {
        for (const auto& [row, column, severity, part] : findings) {
            ASSERT_NE(finding, report.findings.end()) << fileName << ":" << row;
            const Finding& f = *finding++;
            const std::string name = toNarrow(std::filesystem::path(toWide(f.file)).filename().u16string());
            const char kind = f.severity == Severity::Error ? 'E' : 'W';
            EXPECT_EQ(std::tie(name, f.row, f.column, kind), std::tie(fileName, row, column, severity));
            EXPECT_NE(f.message.find(part), std::string::npos) << formatFinding(f);
        }
    }
    EXPECT_EQ(finding, report.findings.end());
}

TEST(ProjectCheck, AFolderWithoutEnvironmentsIsAFinding) {
    const CheckReport report = checkDataFolder(kExamples);
    ASSERT_EQ(report.findings.size(), 1u);
    EXPECT_NE(report.findings[0].message.find("defines no environment"), std::string::npos);
}

TEST(ProjectCheck, FormatsOneLinePerFinding) {
    EXPECT_EQ(formatFinding({"a/P1.Named.csv", 3, 2, Severity::Error, "x"}), "a/P1.Named.csv:3:2: error: x");
    EXPECT_EQ(formatFinding({"f.csv", 0, 0, Severity::Warning, "w"}), "f.csv:0:0: warning: w");
}

}  // namespace
}  // namespace orvalix::cli
