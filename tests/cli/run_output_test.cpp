#include <gtest/gtest.h>

#include <cstdint>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.hpp"
#include "cli/console_sink.hpp"
#include "cli/record_line.hpp"
#include "core/traffic/extra_block.hpp"

namespace orvalix::cli {
namespace {

using Bytes = std::vector<std::uint8_t>;

// 2024-01-31 12:00:00 UTC as a FILETIME.
constexpr std::uint64_t kTime = 133'511'472'000'000'000;
const std::string kTimePattern = R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3})";

Environment withConditions(const std::vector<std::u16string>& names) {
    Environment environment;
    for (const std::u16string& name : names) {
        NamedCondition condition;
        condition.cells = {name, u"1"};
        environment.namedConditions.push_back(condition);
    }
    return environment;
}

Bytes extraBlock(std::size_t conditions, std::uint32_t attribute, const std::vector<std::size_t>& marks) {
    Bytes extra(extraBlockSize(conditions));
    setAttribute(extra, attribute);
    for (const std::size_t mark : marks) {
        setMarkBit(extra, conditions, mark);
    }
    return extra;
}

PortSettings portNamed(std::u16string name, std::u16string remote = u"") {
    PortSettings settings;
    settings.table = {{u"Setting", u"Description", u"Value"}, {u"Port", u"", std::move(name)}};
    for (int row = 1; row < 9; ++row) {
        settings.table.push_back({u"", u"", u""});
    }
    settings.table.push_back({u"Remote", u"", remote});
    return settings;
}

TEST(RecordLine, ShowsDirectionLengthAttributeBytesAndRisenMarks) {
    struct Case {
        std::vector<std::u16string> conditions;
        std::uint32_t attribute;
        std::vector<std::size_t> marks;
        Bytes data;
        std::string rest;  // what follows the time
    };
    const Case cases[] = {
        {{}, kReceivedAttribute, {}, {0x02, 0x41, 0x03}, " RX 3 80000000 02 41 03"},
        {{}, 0, {}, {0x0A}, " TX 1 00000000 0a"},
        // Receive status bits beside bit 31 (a serial framing error).
        {{}, kReceivedAttribute | 0x08, {}, {0xFF, 0x00}, " RX 2 80000008 ff 00"},
        {{u"A", u"B", u"C"}, kReceivedAttribute, {0, 2}, {0x01}, " RX 1 80000000 01 marks: A, C"},
        {{u"A", u"B"}, 0, {}, {0x01}, " TX 1 00000000 01"},
        // Condition 8 sits in the second mark byte.
        {{u"c0", u"c1", u"c2", u"c3", u"c4", u"c5", u"c6", u"c7", u"応答"}, 0, {8}, {0x7E},
         " TX 1 00000000 7e marks: 応答"},
    };
    for (const Case& c : cases) {
        const Environment environment = withConditions(c.conditions);
        const Bytes extra = extraBlock(c.conditions.size(), c.attribute, c.marks);
        const std::string line = formatRecordLine(u"P1", environment, c.data, kTime, extra);
        ASSERT_GT(line.size(), 26u) << line;
        EXPECT_EQ(line.substr(0, 3), "P1 ");
        EXPECT_TRUE(std::regex_match(line.substr(3, 23), std::regex(kTimePattern))) << line;
        EXPECT_EQ(line.substr(26), c.rest);
    }
}

TEST(RecordLine, DescribesThePortByItsKind) {
    PortSettings udp = portNamed(u"127.0.0.1:5000", u"127.0.0.1:6000");
    udp.localEndpointValid = true;
    udp.remoteEndpointValid = true;
    PortSettings udpWithoutRemote = portNamed(u"127.0.0.1:5000");
    udpWithoutRemote.localEndpointValid = true;
    const std::pair<PortSettings, std::string> cases[] = {
        {portNamed(u"COM3"), "serial COM3"},
        {portNamed(u"FBIHDLC1"), "HDLC board FBIHDLC1"},
        {udp, "UDP 127.0.0.1:5000 -> 127.0.0.1:6000"},
        {udpWithoutRemote, "UDP 127.0.0.1:5000"},
        {portNamed(u"nowhere"), "not usable nowhere"},
    };
    for (const auto& [settings, expected] : cases) {
        EXPECT_EQ(describePort(settings), expected);
    }
}

class ConsoleSinkTest : public ::testing::Test {
protected:
    void pump(ConsoleSink& sink, std::uint32_t attribute, std::vector<std::size_t> marks = {}) {
        const Bytes extra = extraBlock(environment_.namedConditions.size(), attribute, marks);
        sink.recordPumped(u"D1", environment_, Bytes{0x01, 0x02}, kTime, extra);
    }

    Project project() const {
        Project project;
        project.dataFolder = u"/data";
        project.environments[u"D1"] = environment_;
        project.environments[u"D1"].port = portNamed(u"COM7");
        return project;
    }

    std::ostringstream out_;
    std::ostringstream err_;
    Environment environment_ = withConditions({u"Request", u"Alarm"});
};

TEST_F(ConsoleSinkTest, SummaryCountsDirectionsMarksAndLogFilesPerEnvironment) {
    for (const bool quiet : {false, true}) {
        SCOPED_TRACE(quiet ? "quiet" : "verbose");
        out_.str("");
        ConsoleSink sink({out_, err_}, quiet);
        sink.folderOpened(project(), {u"D1"});
        pump(sink, kReceivedAttribute, {0, 1});
        pump(sink, 0);
        pump(sink, kReceivedAttribute | 0x02, {1});
        sink.logFileStarted(u"D1", u"Alarm", "/data/Logs/D1/Alarm-20240131_210000_000.log");
        sink.logFileStarted(u"D1", u"Alarm", {});
        sink.printSummary();

        const std::string text = out_.str();
        EXPECT_TRUE(text.starts_with("Data folder: /data\n  D1: serial COM7\n")) << text;
        EXPECT_NE(text.find("D1 trigger Alarm: log file /data/Logs/D1/Alarm-20240131_210000_000.log\n"),
                  std::string::npos);
        EXPECT_NE(text.find("D1 trigger Alarm: no log file (its folder cannot be made)\n"), std::string::npos);
        EXPECT_TRUE(text.ends_with("Summary:\n  D1: 2 received, 1 sent, 3 marks, 1 log file\n")) << text;
        EXPECT_EQ(text.find(" RX 2 ") == std::string::npos, quiet) << text;
        ASSERT_NE(sink.totals(u"D1"), nullptr);
        EXPECT_EQ(sink.totals(u"D1")->marks, 3);
    }
    EXPECT_EQ(err_.str(), "");
}

TEST_F(ConsoleSinkTest, ServiceErrorGoesToTheErrorStreamOnOneLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"Can't open COM9", "Can't open COM9\n"},
        {"The system cannot find the file specified.\r\n", "The system cannot find the file specified.\n"},
    };
    for (const auto& [text, expected] : cases) {
        err_.str("");
        ConsoleSink sink({out_, err_}, false);
        sink.serviceFailed(text);
        EXPECT_EQ(err_.str(), expected);
        EXPECT_EQ(sink.serviceError(), text);
    }
}

TEST_F(ConsoleSinkTest, FolderWithoutUsableEnvironmentGivesAWarning) {
    ConsoleSink sink({out_, err_}, false);
    sink.folderOpened(project(), {});
    EXPECT_EQ(out_.str(), "Data folder: /data\n");
    EXPECT_NE(err_.str().find("warning: no usable environment in /data"), std::string::npos) << err_.str();
    sink.printSummary();
    EXPECT_TRUE(out_.str().ends_with("Summary:\n"));
}

TEST(RunCommand, UsageErrorsExitWithStatus2BeforeAnythingRuns) {
    const std::string folder = std::string(ORVALIX_SOURCE_DIR) + "/examples/demo";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"run"}, "one FOLDER is needed"},
        {{"run", folder, folder}, "one FOLDER is needed"},
        {{"run", folder + "/E1.Environments.csv"}, "is not a folder"},
        {{"run", folder, "--for", "ten"}, "--for needs a number of seconds above 0, not 'ten'"},
        {{"run", folder, "--for", "-1"}, "--for needs a number of seconds"},
        {{"run", folder, "--for", "0"}, "--for needs a number of seconds"},
        {{"run", folder, "--for", "1e3"}, "--for needs a number of seconds"},
        {{"run", folder, "--trace-dir", folder + "/missing"}, "is not a folder"},
        {{"run", folder, "--quiet=yes"}, "takes no value"},
    };
    for (const auto& [arguments, message] : cases) {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(runCommandLine(arguments, {out, err}), kExitUsage) << message;
        EXPECT_NE(err.str().find("orvalix-cli run: "), std::string::npos) << err.str();
        EXPECT_NE(err.str().find(message), std::string::npos) << err.str();
        EXPECT_EQ(out.str(), "");
    }
}

}  // namespace
}  // namespace orvalix::cli
