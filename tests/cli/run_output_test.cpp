#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "cli/console_sink.hpp"
#include "cli/record_line.hpp"
#include "core/traffic/extra_block.hpp"

namespace orvalix::cli {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Names = std::vector<std::u16string>;

// 2024-01-31 12:00:00 UTC as a FILETIME.
constexpr std::uint64_t kTime = 133'511'472'000'000'000;

Environment withConditions(const Names& names) {
    Environment environment;
    for (const std::u16string& name : names) environment.namedConditions.emplace_back().cells = {name, u"1"};
    return environment;
}

Bytes extraBlock(std::size_t conditions, std::uint32_t attribute, const std::vector<std::size_t>& marks) {
    Bytes extra(extraBlockSize(conditions));
    setAttribute(extra, attribute);
    for (const std::size_t mark : marks) setMarkBit(extra, conditions, mark);
    return extra;
}

PortSettings portNamed(std::u16string name, std::u16string remote = u"", bool udp = false) {
    PortSettings settings;
    settings.table.assign(11, {u"", u"", u""});
    settings.table[1] = {u"Port", u"", std::move(name)};
    settings.table[10] = {u"Remote", u"", std::move(remote)};
    settings.localEndpointValid = udp;
    settings.remoteEndpointValid = udp && !settings.table[10][2].empty();
    return settings;
}

TEST(RecordLine, ShowsDirectionLengthAttributeBytesAndRisenMarks) {
    const Names nine{u"c0", u"c1", u"c2", u"c3", u"c4", u"c5", u"c6", u"c7", u"応答"};
    const std::tuple<Names, std::uint32_t, std::vector<std::size_t>, Bytes, std::string> cases[] = {
        {{}, kReceivedAttribute, {}, {0x02, 0x41, 0x03}, " RX 3 80000000 02 41 03"},
        // Receive status bits beside bit 31 (a serial framing error).
        {{}, kReceivedAttribute | 0x08, {}, {0xFF, 0x00}, " RX 2 80000008 ff 00"},
        {{u"A", u"B", u"C"}, kReceivedAttribute, {0, 2}, {0x01}, " RX 1 80000000 01 marks: A, C"},
        {{u"A", u"B"}, 0, {}, {0x0A}, " TX 1 00000000 0a"},
        // Condition 8 sits in the second mark byte.
        {nine, 0, {8}, {0x7E}, " TX 1 00000000 7e marks: 応答"}};
    const std::regex time(R"(P1 \d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3})");
    for (const auto& [conditions, attribute, marks, data, rest] : cases) {
        const Bytes extra = extraBlock(conditions.size(), attribute, marks);
        const std::string line = formatRecordLine(u"P1", withConditions(conditions), data, kTime, extra);
        EXPECT_TRUE(std::regex_match(line.substr(0, 26), time)) << line;
        EXPECT_EQ(line.substr(26), rest);
    }
}

TEST(RecordLine, DescribesThePortByItsKind) {
    const std::pair<PortSettings, std::string> cases[] = {
        {portNamed(u"COM3"), "serial COM3"}, {portNamed(u"FBIHDLC1"), "HDLC board FBIHDLC1"},
        {portNamed(u"127.0.0.1:5000", u"127.0.0.1:6000", true), "UDP 127.0.0.1:5000 -> 127.0.0.1:6000"},
        {portNamed(u"127.0.0.1:5000", u"", true), "UDP 127.0.0.1:5000"}, {portNamed(u"x"), "not usable x"}};
    for (const auto& [settings, expected] : cases) EXPECT_EQ(describePort(settings), expected);
}

const Environment kSinkEnvironment = withConditions({u"Request", u"Alarm"});

Project sinkProject() {
    Project project;
    project.dataFolder = u"/data";
    Environment device = kSinkEnvironment;
    device.port = portNamed(u"COM7");
    project.environments = std::make_shared<const EnvironmentMap>(EnvironmentMap{{u"D1", device}});
    return project;
}

TEST(ConsoleSink, SummaryCountsDirectionsMarksAndLogFilesPerEnvironment) {
    std::ostringstream err;
    for (const bool quiet : {false, true}) {
        std::ostringstream out;
        ConsoleSink sink({out, err}, quiet);
        sink.folderOpened(sinkProject(), {u"D1"});
        for (const auto& [attribute, marks] : {std::pair{kReceivedAttribute, std::vector<std::size_t>{0, 1}},
                                               {0U, {}}, {kReceivedAttribute | 0x02, {1}}}) {
            sink.recordPumped(u"D1", kSinkEnvironment, Bytes{1, 2}, kTime, extraBlock(2, attribute, marks));
        }
        sink.logFileStarted(u"D1", u"Alarm", "/data/Logs/D1/Alarm-20240131_210000_000.log");
        sink.logFileStarted(u"D1", u"Alarm", {});
        sink.printSummary();
        const std::string text = out.str();
        EXPECT_TRUE(text.starts_with("Data folder: /data\n  D1: serial COM7\n")) << text;
        EXPECT_NE(text.find("D1 trigger Alarm: log file /data/Logs/D1/Alarm-20240131_210000_000.log\n"),
                  std::string::npos) << text;
        EXPECT_NE(text.find("Alarm: no log file (it cannot be made)\n"), std::string::npos);
        EXPECT_TRUE(text.ends_with("Summary:\n  D1: 2 received, 1 sent, 3 marks, 1 log file\n")) << text;
        EXPECT_EQ(text.find(" RX 2 ") == std::string::npos, quiet) << text;
    }
    EXPECT_EQ(err.str(), "");
}

TEST(ConsoleSink, ServiceErrorGoesToTheErrorStreamOnOneLine) {
    std::ostringstream out, err;
    ConsoleSink sink({out, err}, false);
    sink.serviceFailed("Access is denied.\r\n");
    EXPECT_EQ(err.str(), "Access is denied.\n");
    EXPECT_EQ(sink.serviceError(), "Access is denied.\r\n");
}

}  // namespace
}  // namespace orvalix::cli
