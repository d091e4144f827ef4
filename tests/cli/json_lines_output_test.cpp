#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <system_error>
#include <tuple>
#include <vector>

#include "../core/traffic/traffic_test_support.hpp"
#include "cli/console_sink.hpp"
#include "cli/json_lines_sink.hpp"
#include "core/text/json_text.hpp"
#include "core/traffic/extra_block.hpp"
#include "core/traffic/iso_time.hpp"

namespace orvalix::cli {
namespace {

using test::Bytes;

// 2024-01-31 12:00:00.502 UTC as a FILETIME.
constexpr std::uint64_t kTime = 133'511'472'005'020'000;
constexpr std::uint64_t kNoLocalTime = std::numeric_limits<std::uint64_t>::max();

const Environment kEnvironment = [] {
    Environment environment = test::makeEnvironment(1, 1, {u"Request", u"say \"hi\"", u"応答"});
    FaultRule rule;
    rule.name = u"late \"reply\"";
    environment.faults.push_back(rule);
    return environment;
}();

// Tells the sink of an event made from these parts, which the teller keeps.
template <class Event, class... Parts>
std::function<void(TrafficSink&)> telling(Parts... parts) {
    return [=](TrafficSink& sink) { sink.onEvent(Event{parts...}); };
}

struct SinkCase {
    const char* rule;
    std::function<void(TrafficSink&)> tell;
    std::string line;
};

TEST(JsonLinesSink, WritesEachFrameAndEventAsOneObjectOnALine) {
    const std::filesystem::path log = "/data/Logs/D1/Alarm-20240131_210000_000.log";
    const std::error_code full = std::make_error_code(std::errc::no_space_on_device);
    const std::error_code tooLong = std::make_error_code(std::errc::filename_too_long);
    const SinkCase cases[] = {
        {"a received frame: local time, raw file time, status bits, bytes as one hex text, marks and "
         "triggers by name",
         telling<RecordPumped>(u"D1", kEnvironment, Bytes{0x02, 0x41, 0xFF}, kTime,
                               test::makeExtra(3, kReceivedAttribute | 0x08, {0, 1}, {2})),
         R"({"type":"frame","environment":"D1","time":")" + formatIsoTime(kTime) +
             R"(","filetime":133511472005020000,"direction":"rx","length":3,"attribute":"80000008","bytes":"0241ff",)"
             R"("marks":["Request","say \"hi\""],"triggers":["応答"],"fault":null})"},
        {"a sent frame with an odd environment name, a time without local form and nothing set",
         telling<RecordPumped>(u"環境\t1", kEnvironment, Bytes{0x0A}, kNoLocalTime, test::makeExtra(3, 0x1F)),
         R"({"type":"frame","environment":"環境\t1","time":null,"filetime":18446744073709551615,"direction":"tx",)"
         R"("length":1,"attribute":"0000001f","bytes":"0a","marks":[],"triggers":[],"fault":null})"},
        {"an empty frame has empty bytes", telling<RecordPumped>(u"D1", kEnvironment, Bytes{}, kNoLocalTime, Bytes{}),
         R"({"type":"frame","environment":"D1","time":null,"filetime":18446744073709551615,"direction":"tx",)"
         R"("length":0,"attribute":"00000000","bytes":"","marks":[],"triggers":[],"fault":null})"},
        {"a frame a fault touched names the fault's rule by the number in its attribute",
         telling<RecordPumped>(u"D1", kEnvironment, Bytes{0x0B}, kNoLocalTime, test::makeExtra(3, 0x40010000)),
         R"({"type":"frame","environment":"D1","time":null,"filetime":18446744073709551615,"direction":"tx",)"
         R"("length":1,"attribute":"40010000","bytes":"0b","marks":[],"triggers":[],"fault":"late \"reply\""})"},
        {"a log file started", telling<LogFileStarted>(u"D1", StartedLog{u"Alarm", log, {}}),
         R"({"type":"log_started","environment":"D1","condition":"Alarm",)"
         R"("file":"/data/Logs/D1/Alarm-20240131_210000_000.log","reason":null})"},
        {"a log file that cannot be made, with the system's reason",
         telling<LogFileStarted>(u"D1", StartedLog{u"Alarm", {}, tooLong}),
         R"({"type":"log_started","environment":"D1","condition":"Alarm","file":null,"reason":)" +
             jsonString(tooLong.message()) + "}"},
        {"a log file that cannot be made, without a reason",
         telling<LogFileStarted>(u"D1", StartedLog{u"Alarm", {}, {}}),
         R"({"type":"log_started","environment":"D1","condition":"Alarm","file":null,"reason":null})"},
        {"a log file stopped by a failed write", telling<LogFileStopped>(u"D1", StoppedLog{u"Alarm", log, 7, full}),
         R"({"type":"log_stopped","environment":"D1","condition":"Alarm",)"
         R"("file":"/data/Logs/D1/Alarm-20240131_210000_000.log","records":7,"reason":)" +
             jsonString(full.message()) + "}"},
        {"refused recordings", telling<RecordingsRefused>(u"D1", std::size_t{936}),
         R"({"type":"recordings_refused","environment":"D1","refused":936})"},
        {"a lost port", telling<PortLost>(u"D1", u"/dev/ttyUSB0", "Input/output error"),
         R"({"type":"port_lost","environment":"D1","port":"/dev/ttyUSB0","reason":"Input/output error"})"},
        {"dropped datagrams", telling<LossCounted>(Loss::datagrams, u"F1", 5120u, 8192u),
         R"({"type":"datagrams_dropped","environment":"F1","added":5120,"total":8192})"},
        {"frames not sent", telling<LossCounted>(Loss::sends, u"C1", 3u, 4u),
         R"({"type":"sends_dropped","environment":"C1","added":3,"total":4})"},
        {"records lost to a full history", telling<LossCounted>(Loss::records, u"D1", 1u, 18446744073709551615U),
         R"({"type":"records_lost","environment":"D1","added":1,"total":18446744073709551615})"},
        {"a connection with its peer", telling<ConnectionOpened>(u"C1", "127.0.0.1:502"),
         R"({"type":"connection_opened","environment":"C1","peer":"127.0.0.1:502"})"},
        {"a connection's end whose peer the port no longer knew", telling<ConnectionClosed>(u"C1", ""),
         R"({"type":"connection_closed","environment":"C1","peer":null})"},
        {"failed attempts to connect",
         telling<ConnectFailed>(u"C1", u"tcp-client://127.0.0.1:502", "Connection refused"),
         R"({"type":"connect_failed","environment":"C1","port":"tcp-client://127.0.0.1:502",)"
         R"("reason":"Connection refused"})"},
        {"the service's error without the system's line break, and of no environment",
         telling<ServiceFailed>("Access is denied.\r\n"), R"({"type":"error","message":"Access is denied."})"},
    };
    for (const auto& [rule, tell, line] : cases) {
        std::ostringstream out, err;
        ConsoleSink text({err, err}, true);
        JsonLinesSink sink(out, false, text);
        tell(sink);
        EXPECT_EQ(out.str(), line + "\n") << rule;
    }
}

// Quiet leaves out frames, not events; the text and the totals go on in the text sink either way.
TEST(JsonLinesSink, QuietLeavesOutFramesOnlyAndTheTextSinkKeepsLinesAndTotals) {
    for (const bool quiet : {false, true}) {
        std::ostringstream out, err;
        ConsoleSink text({err, err}, true);
        JsonLinesSink sink(out, quiet, text);
        sink.onEvent(
            RecordPumped{u"D1", kEnvironment, Bytes{0x01}, kTime, test::makeExtra(3, kReceivedAttribute, {0})});
        sink.onEvent(LossCounted{Loss::sends, u"D1", 2, 2});
        const std::string events = R"({"type":"sends_dropped","environment":"D1","added":2,"total":2})"
                                   "\n";
        const std::string written = out.str();
        EXPECT_TRUE(written.ends_with(events)) << written;
        EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), quiet ? 1 : 2) << written;
        EXPECT_EQ(err.str(), "D1 2 frames not sent (2 in all): no connection\n");
        const EnvironmentTotals* totals = text.totals(u"D1");
        ASSERT_NE(totals, nullptr);
        EXPECT_EQ(std::tuple(totals->received, totals->marks, totals->droppedSends), std::tuple(1, 1, 2U));
    }
}

}  // namespace
}  // namespace orvalix::cli
