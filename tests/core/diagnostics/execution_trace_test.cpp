#include "core/diagnostics/execution_trace.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "../project/temp_folder.hpp"
#include "core/diagnostics/trace_messages.hpp"
#include "core/platform/clock.hpp"

namespace orvalix {
namespace {

// Dumps the trace into a fresh file, checks the file's form and gives the entries' messages.
// The frequency line comes first; then each entry's stamp, right-aligned in 20 characters and
// never falling (given in stamps if asked for), ",," and the message. Lines end in a line feed alone.
std::vector<std::string> dump(ExecutionTrace& trace, std::vector<long long>* stamps = nullptr) {
    const test::TempFolder folder;
    EXPECT_TRUE(trace.dumpToFile(folder.path() / "Controller.csv"));
    std::ifstream file(folder.path() / "Controller.csv", std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    EXPECT_TRUE(text.ends_with('\n') && text.find('\r') == std::string::npos);
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line,
              "Frequency, " + std::to_string(platform::performanceFrequency()) + ",=((A3-A2)/$B$1)*1000");
    const std::regex stamp(" +[0-9]+,,");  // today's counters have fewer than 20 digits
    std::vector<std::string> messages;
    for (long long previous = 0; std::getline(lines, line);) {
        const bool stamped = std::regex_match(line.substr(0, 22), stamp);
        EXPECT_TRUE(stamped) << line;
        EXPECT_GE(stamped ? std::stoll(line.substr(0, 20)) : previous, previous);
        previous = stamped ? std::stoll(line.substr(0, 20)) : previous;
        if (stamps) stamps->push_back(previous);
        messages.push_back(stamped ? line.substr(22) : line);
    }
    return messages;
}

// Whichever way an entry is recorded (the per-byte checkpoints of the service thread take the
// inline way: one thread, a format, the latest stamp), the ring keeps the newest.
TEST(ExecutionTrace, AFullRingKeepsTheNewestAndDumpsOldestFirst) {
    using Access = ExecutionTrace::Access;
    using Stamp = ExecutionTrace::Stamp;
    const struct {
        Access access;
        bool formatted;
        Stamp stamp;
    } ways[] = {{Access::AnyThread, false, Stamp::Now},    {Access::OneThread, false, Stamp::Now},
                {Access::AnyThread, true, Stamp::Now},     {Access::OneThread, true, Stamp::Now},
                {Access::AnyThread, true, Stamp::Latest},  {Access::OneThread, true, Stamp::Latest}};
    const TraceFormat checkpoint{"checkpoint %d", TraceFormat::Argument::Int32};
    for (const auto& way : ways) {
        ExecutionTrace trace(16, way.access);
        for (int i = 1; i <= 20; ++i) {
            if (way.formatted) {
                trace.record(checkpoint, i, way.stamp);
            } else {
                trace.record("checkpoint " + std::to_string(i));
            }
            ASSERT_EQ(trace.size(), std::min<std::size_t>(static_cast<std::size_t>(i), 16u));
        }
        const std::vector<std::string> messages = dump(trace);
        ASSERT_EQ(messages.size(), 16u);
        EXPECT_EQ(messages.front(), "checkpoint 5");
        EXPECT_EQ(messages.back(), "checkpoint 20");
        EXPECT_EQ(trace.size(), 0u);  // a dump empties the trace
        // Recording goes on into the emptied ring.
        trace.record(checkpoint, 21, way.stamp);
        EXPECT_EQ(dump(trace), std::vector<std::string>{"checkpoint 21"});
    }
}

// What a trace format may be, judged as the program compiles.
using Argument = TraceFormat::Argument;
static_assert(TraceFormat::accepts("Received %d bytes.", Argument::Int32));
static_assert(TraceFormat::accepts("= %lld", Argument::Int64));
static_assert(TraceFormat::accepts("%-300lld", Argument::Int64), "flags and a width may come between");
static_assert(!TraceFormat::accepts("no conversion", Argument::Int32));
static_assert(!TraceFormat::accepts("%d and %d", Argument::Int32), "one conversion, not two");
static_assert(!TraceFormat::accepts("%lld", Argument::Int32), "a 64-bit conversion for a 32-bit value");
static_assert(!TraceFormat::accepts("%d", Argument::Int64), "a 32-bit conversion for a 64-bit value");
static_assert(!TraceFormat::accepts("%s", Argument::Int32), "a string would read the value as a pointer");
static_assert(!TraceFormat::accepts("100%", Argument::Int32));

TEST(ExecutionTrace, MessagesAreCutTo256BytesAndAtTheirFirstNulAndFormatsWriteWhatFormattingAtOnceWould) {
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    const std::string a256(256, 'a');
    const std::pair<std::string, std::string> texts[] = {{a256 + "b", a256},
                                                         {a256, a256},
                                                         {std::string("ab\0cd", 5), "ab"},
                                                         {"\xE6\x97\xA5 ok", "\xE6\x97\xA5 ok"}};
    // %d takes the value as int; a long result is cut like a long text.
    const std::tuple<TraceFormat, std::int64_t, std::string> formats[] = {
        {trace_messages::kReceivedBytes, 922, "Received 922 bytes."},
        {trace_messages::kStartIndex, -7, "Start index is -7"},
        {trace_messages::kUpdatePumpedUp, (std::int64_t{1} << 32) + 5, "UpdateTraffic : Pumped up 5 bytes."},
        {trace_messages::kJumpConditionEvaluated, kMin,
         "JumpCondition has evaluated. = -9223372036854775808"},
        {trace_messages::kTxConditionEvaluated, -(kMin + 1),
         "TxCondition has evaluated. = 9223372036854775807"},
        {TraceFormat{"%-300lld", TraceFormat::Argument::Int64}, kMin,
         "-9223372036854775808" + std::string(236, ' ')},
    };
    ExecutionTrace trace(16);
    std::vector<std::string> written;
    for (const auto& [text, expected] : texts) {
        trace.record(text);
        written.push_back(expected);
    }
    for (const auto& [format, value, expected] : formats) {
        trace.record(format, value);
        written.push_back(expected);
    }
    EXPECT_EQ(dump(trace), written);
}

// A checkpoint stamped Latest takes the stamp of the entry before it, or reads the clock when
// there is none; a trace of one thread writes the same entries as a shared one.
TEST(ExecutionTrace, LatestStampsRepeatTheEntryBeforeAndOneThreadTracesDumpAlike) {
    for (const auto access : {ExecutionTrace::Access::AnyThread, ExecutionTrace::Access::OneThread}) {
        ExecutionTrace trace(8, access);
        trace.record(trace_messages::kStartIndex, 1, ExecutionTrace::Stamp::Latest);
        trace.record(trace_messages::kTxConditionEvaluated, 2, ExecutionTrace::Stamp::Latest);
        const std::int64_t between = platform::performanceCounter();
        while (platform::performanceCounter() == between) {
        }
        trace.record("fixed");
        trace.record(trace_messages::kJumpConditionEvaluated, 3, ExecutionTrace::Stamp::Latest);
        trace.record(trace_messages::kJumpConditionEvaluated, 4);
        std::vector<long long> stamps;
        EXPECT_EQ(dump(trace, &stamps),
                  (std::vector<std::string>{"Start index is 1", "TxCondition has evaluated. = 2", "fixed",
                                            "JumpCondition has evaluated. = 3", "JumpCondition has evaluated. = 4"}));
        ASSERT_EQ(stamps.size(), 5u);
        EXPECT_GT(stamps[0], 0);
        EXPECT_EQ(stamps[1], stamps[0]);
        EXPECT_GT(stamps[2], stamps[1]);
        EXPECT_EQ(stamps[3], stamps[2]);
    }
}

// An empty message ends the dump and leaves the entries after it; a file that cannot be opened
// leaves the trace as it was; a capacity of 0 keeps nothing.
TEST(ExecutionTrace, DumpsStopAtAnEmptyMessageOrAnUnopenableFileAndCapacityZeroKeepsNothing) {
    ExecutionTrace trace(8);
    trace.record("before");
    trace.record("");
    trace.record("after");
    EXPECT_EQ(dump(trace), std::vector<std::string>{"before"});
    EXPECT_EQ(trace.size(), 1u);
    const test::TempFolder folder;
    EXPECT_FALSE(trace.dumpToFile(folder.path() / "missing" / "Controller.csv"));
    EXPECT_EQ(dump(trace), std::vector<std::string>{"after"});

    ExecutionTrace none(0);
    none.record("lost");
    none.record(trace_messages::kStartIndex, 1);
    EXPECT_EQ(none.size(), 0u);
    EXPECT_TRUE(dump(none).empty());
}

}  // namespace
}  // namespace orvalix
