#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "../core/project/temp_folder.hpp"
#include "../core/traffic/traffic_test_support.hpp"
#include "cli/commands.hpp"
#include "cli/console_sink.hpp"
#include "cli/record_line.hpp"
#include "core/ports/parse_port_options.hpp"
#include "core/traffic/extra_block.hpp"

namespace orvalix::cli {
namespace {

using test::Bytes;
using Names = std::vector<std::u16string>;

// 2024-01-31 12:00:00 UTC as a FILETIME.
constexpr std::uint64_t kTime = 133'511'472'000'000'000;

Environment withConditions(const Names& names) { return test::makeEnvironment(1, 1, names); }

// The port of a file whose setting 0 is the name and setting 9 the remote endpoint.
PortOptions portNamed(std::u16string name, std::u16string remote = u"") {
    CsvTable rows(11, {u"", u"", u""});
    rows[1] = {u"Port", u"", std::move(name)};
    rows[10] = {u"Remote", u"", std::move(remote)};
    return parsePortOptions(rows);
}

// The environment's fault rules are lost and slow.
TEST(RecordLine, ShowsDirectionLengthAttributeBytesRisenMarksAndTheFaultThatTouchedTheRecordLast) {
    const Names nine{u"c0", u"c1", u"c2", u"c3", u"c4", u"c5", u"c6", u"c7", u"応答"};
    const std::tuple<Names, std::uint32_t, std::vector<std::size_t>, Bytes, std::string> cases[] = {
        {{}, kReceivedAttribute, {}, {0x02, 0x41, 0x03}, " RX 3 80000000 02 41 03"},
        // Receive status bits beside bit 31 (a serial framing error).
        {{}, kReceivedAttribute | 0x08, {}, {0xFF, 0x00}, " RX 2 80000008 ff 00"},
        {{u"A", u"B", u"C"}, kReceivedAttribute, {0, 2}, {0x01}, " RX 1 80000000 01 marks: A, C"},
        {{u"A", u"B"}, 0, {}, {0x0A}, " TX 1 00000000 0a"},
        // Condition 8 sits in the second mark byte.
        {nine, 0, {8}, {0x7E}, " TX 1 00000000 7e marks: 応答"},
        {{u"A"}, 0x40020000, {}, {0x0A}, " TX 1 40020000 0a fault: slow"},
        {{u"A"}, kReceivedAttribute | 0x40010000, {0}, {0x0A}, " RX 1 c0010000 0a marks: A fault: lost"},
        {{u"A"}, 0x40030000, {}, {0x0A}, " TX 1 40030000 0a"},  // a number beyond the file's rules names none
    };
    const std::regex time(R"(P1 \d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3})");
    for (const auto& [conditions, attribute, marks, data, rest] : cases) {
        Environment environment = withConditions(conditions);
        for (const std::u16string name : {u"lost", u"slow"}) environment.faults.emplace_back().name = name;
        const Bytes extra = test::makeExtra(conditions.size(), attribute, marks);
        const std::string line = formatRecordLine(u"P1", environment, data, kTime, extra);
        EXPECT_TRUE(std::regex_match(line.substr(0, 26), time)) << line;
        EXPECT_EQ(line.substr(26), rest);
    }
}

TEST(RecordLine, DescribesThePortByItsKind) {
    const std::pair<PortOptions, std::string> cases[] = {
        {portNamed(u"COM3"), "serial COM3"}, {portNamed(u"FBIHDLC1"), "HDLC board FBIHDLC1"},
        {portNamed(u"127.0.0.1:5000", u"127.0.0.1:6000"), "UDP 127.0.0.1:5000 -> 127.0.0.1:6000"},
        {portNamed(u"127.0.0.1:5000"), "UDP 127.0.0.1:5000"}, {portNamed(u"x"), "not usable x"}};
    for (const auto& [settings, expected] : cases) EXPECT_EQ(describePort(settings), expected);
}

const Environment kSinkEnvironment = withConditions({u"Request", u"Alarm"});

// D1 on a serial port, F1 and G1 on UDP.
Project sinkProject() {
    EnvironmentMap environments{{u"D1", kSinkEnvironment}, {u"F1", kSinkEnvironment}, {u"G1", kSinkEnvironment}};
    environments[u"D1"].port = portNamed(u"COM7");
    environments[u"F1"].port = environments[u"G1"].port = portNamed(u"127.0.0.1:5000");
    Project project;
    project.dataFolder = u"/data";
    project.environments = std::make_shared<const EnvironmentMap>(std::move(environments));
    return project;
}

// Events print as they come; the summary counts them per environment and names what went wrong
// only where it happened.
TEST(ConsoleSink, PrintsEachEventAndSumsThemUpPerEnvironment) {
    const std::filesystem::path log = "/data/Logs/D1/Alarm-20240131_210000_000.log";
    std::ostringstream err;
    for (const bool quiet : {false, true}) {
        std::ostringstream out;
        ConsoleSink sink({out, err}, quiet);
        sink.onEvent(FolderOpened{sinkProject(), {u"D1", u"F1", u"G1"}});
        for (const auto& [attribute, marks] : {std::pair{kReceivedAttribute, std::vector<std::size_t>{0, 1}},
                                               {0U, {}}, {kReceivedAttribute | 0x02, {1}}}) {
            sink.onEvent(
                RecordPumped{u"D1", kSinkEnvironment, Bytes{1, 2}, kTime, test::makeExtra(2, attribute, marks)});
        }
        sink.onEvent(LogFileStarted{u"D1", StartedLog{u"Alarm", log, {}}});
        sink.onEvent(LogFileStarted{u"D1", StartedLog{u"Alarm", {}, {}}});
        const std::error_code tooLong = std::make_error_code(std::errc::filename_too_long);
        const std::error_code full = std::make_error_code(std::errc::no_space_on_device);
        sink.onEvent(LogFileStarted{u"D1", StartedLog{u"Alarm", {}, tooLong}});
        sink.onEvent(LogFileStopped{u"D1", StoppedLog{u"Alarm", log, 7, full}});
        sink.onEvent(RecordingsRefused{u"D1", 936});
        sink.onEvent(PortLost{u"D1", u"/dev/ttyUSB0", "Input/output error"});
        sink.onEvent(LossCounted{Loss::datagrams, u"F1", 1, 1});
        sink.onEvent(LossCounted{Loss::datagrams, u"F1", 5120, 8192});
        sink.printSummary();
        const std::string text = out.str();
        const std::regex recordLine("D1 .* [RT]X 2 .*\\n");
        EXPECT_EQ(std::distance(std::sregex_iterator(text.begin(), text.end(), recordLine), std::sregex_iterator()),
                  quiet ? 0 : 3);
        EXPECT_EQ(std::regex_replace(text, recordLine, ""),
                  "Data folder: /data\n  D1: serial COM7\n  F1: UDP 127.0.0.1:5000\n  G1: UDP 127.0.0.1:5000\n"
                  "D1 trigger Alarm: log file /data/Logs/D1/Alarm-20240131_210000_000.log\n"
                  "D1 trigger Alarm: no log file (it cannot be made)\n"
                  "D1 trigger Alarm: no log file (it cannot be made: File name too long)\n"
                  "D1 trigger Alarm: log file /data/Logs/D1/Alarm-20240131_210000_000.log stopped after 7 records: "
                  "No space left on device\n"
                  "D1 trigger: 936 recordings refused: one record starts at most 64 log files\n"
                  "D1 port /dev/ttyUSB0 lost: Input/output error\n"
                  "F1 the system dropped 1 datagram (1 in all): the socket's receive buffer was full\n"
                  "F1 the system dropped 5120 datagrams (8192 in all): the socket's receive buffer was full\n"
                  "Summary:\n"
                  "  D1: 2 received, 1 sent, 3 marks, 1 log file (1 stopped by a failed write), "
                  "936 recordings refused, port lost\n"
                  "  F1: 0 received, 0 sent, 0 marks, 0 log files, 8192 datagrams dropped by the system\n"
                  "  G1: 0 received, 0 sent, 0 marks, 0 log files\n");
    }
    EXPECT_EQ(err.str(), "") << "a lost port is not an error of the run";
}

// Takes `room` bytes, then fails every write, as a pipe whose reader went away does.
class FullBuffer final : public std::streambuf {
public:
    explicit FullBuffer(std::size_t room) : room_(room) {}
    std::string taken;

protected:
    int_type overflow(int_type c) override {
        if (room_ == 0 || traits_type::eq_int_type(c, traits_type::eof())) return traits_type::eof();
        --room_;
        taken += traits_type::to_char_type(c);
        return c;
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        const auto n = std::min<std::streamsize>(count, static_cast<std::streamsize>(room_));
        taken.append(text, static_cast<std::size_t>(n));
        room_ -= static_cast<std::size_t>(n);
        return n;
    }

private:
    std::size_t room_;
};

TEST(RunCommand, AStandardOutputThatTakesNoMoreStopsTheRunInOrderWithStatus1) {
    const test::TempFolder data, traces;
    // One port to open, else the run ends at once for want of one.
    data.write(u"U1.Environments.csv", "Setting,Description,Value\nPort,,127.0.0.1:0\n");
    for (const std::size_t room : {std::size_t{0}, std::size_t{20}}) {
        SCOPED_TRACE(room);
        FullBuffer buffer(room);
        std::ostream out(&buffer);
        std::ostringstream err;
        const std::vector<std::string> arguments{"run", data.path().string(), "--trace-dir",
                                                 traces.path().string()};
        EXPECT_EQ(runCommandLine(arguments, {out, err}), kExitFailure);
        EXPECT_NE(err.str().find("orvalix-cli run: the standard output takes no more"), std::string::npos)
            << err.str();
        EXPECT_EQ(buffer.taken, std::string("Data folder: " + data.path().string()).substr(0, room));
        EXPECT_TRUE(std::filesystem::is_regular_file(traces.path() / "Primary.csv")) << "the traces are written";
        EXPECT_TRUE(std::filesystem::is_regular_file(traces.path() / "Controller.csv"));
        std::filesystem::remove(traces.path() / "Primary.csv");
    }
}

// The limit reaches the service: the demo's histories need 80000 bytes or more each.
TEST(RunCommand, MaxRingMemoryLimitsEachHistory) {
    const test::TempFolder traces;
    std::ostringstream out, err;
    const std::vector<std::string> arguments{"run", std::string(ORVALIX_SOURCE_DIR) + "/examples/demo", "--for", "5",
                                             "--max-ring-memory", "1K", "--trace-dir", traces.path().string()};
    EXPECT_EQ(runCommandLine(arguments, {out, err}), kExitFailure);
    EXPECT_NE(err.str().find(" bytes, more than the limit of 1024 bytes\n"), std::string::npos) << err.str();
}

// They are no records: quiet prints them too. A service error goes to the error output, on one line.
TEST(ConsoleSink, PortEventsGetALineEachAndTheSummaryCountsConnectionsUnsentFramesAndLostRecords) {
    std::ostringstream out, err;
    ConsoleSink sink({out, err}, true);
    sink.onEvent(FolderOpened{sinkProject(), {u"D1"}});
    sink.onEvent(ConnectFailed{u"D1", u"tcp-client://127.0.0.1:502", "Connection refused"});
    sink.onEvent(ConnectionOpened{u"D1", "127.0.0.1:502"});
    sink.onEvent(ConnectionClosed{u"D1", "127.0.0.1:502"});
    sink.onEvent(ConnectionOpened{u"D1", ""});
    sink.onEvent(LossCounted{Loss::sends, u"D1", 1, 1});
    sink.onEvent(LossCounted{Loss::sends, u"D1", 3, 4});
    sink.onEvent(LossCounted{Loss::records, u"D1", 2, 9});
    sink.onEvent(ServiceFailed{"Access is denied.\r\n"});
    sink.printSummary();
    EXPECT_TRUE(out.str().ends_with("D1 no connection on tcp-client://127.0.0.1:502: Connection refused\n"
                                    "D1 connected 127.0.0.1:502\n"
                                    "D1 disconnected 127.0.0.1:502\n"
                                    "D1 connected\n"
                                    "D1 1 frame not sent (1 in all): no connection\n"
                                    "D1 3 frames not sent (4 in all): no connection\n"
                                    "D1 2 records were lost before the pump took them (9 in all)\n"
                                    "Summary:\n"
                                    "  D1: 0 received, 0 sent, 0 marks, 0 log files, 2 connections, 4 frames not sent, "
                                    "9 records lost\n"))
        << out.str();
    EXPECT_EQ(err.str(), "Access is denied.\n");
}

}  // namespace
}  // namespace orvalix::cli
