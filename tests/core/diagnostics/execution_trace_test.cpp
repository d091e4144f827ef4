#include "core/diagnostics/execution_trace.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/diagnostics/trace_messages.hpp"
#include "core/platform/clock.hpp"

namespace orvalix {
namespace {

// A file name in a fresh folder of its own under the temporary directory.
class TraceFile {
public:
    TraceFile() {
        std::random_device random;
        folder_ = std::filesystem::temp_directory_path() /
                  ("orvalix-trace-test-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(folder_);
    }
    ~TraceFile() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    std::filesystem::path path() const { return folder_ / "Controller.csv"; }
    std::filesystem::path unopenable() const { return folder_ / "missing" / "Controller.csv"; }

    std::string bytes() const {
        std::ifstream file(path(), std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

    // Lines without their line feeds.
    std::vector<std::string> lines() const {
        std::vector<std::string> result;
        std::istringstream text(bytes());
        for (std::string line; std::getline(text, line);) {
            result.push_back(line);
        }
        return result;
    }

private:
    std::filesystem::path folder_;
};

std::string frequencyLine() {
    return "Frequency, " + std::to_string(platform::performanceFrequency()) + ",=((A3-A2)/$B$1)*1000";
}

// The message column of an entry line: what follows the 20-character stamp and ",,".
std::string messageOf(const std::string& line) {
    return line.size() < 22 ? std::string() : line.substr(22);
}

TEST(ExecutionTrace, AFullRingKeepsTheNewestAndDumpsOldestFirst) {
    ExecutionTrace trace(trace_messages::kServiceTraceCapacity);
    for (int i = 1; i <= 4100; ++i) {
        trace.record("checkpoint " + std::to_string(i));
    }
    EXPECT_EQ(trace.size(), 4096u);
    TraceFile file;
    ASSERT_TRUE(trace.dumpToFile(file.path()));
    const auto lines = file.lines();
    ASSERT_EQ(lines.size(), 4097u);
    EXPECT_EQ(lines.front(), frequencyLine());
    EXPECT_EQ(messageOf(lines[1]), "checkpoint 5");
    EXPECT_EQ(messageOf(lines[2]), "checkpoint 6");
    EXPECT_EQ(messageOf(lines.back()), "checkpoint 4100");
    EXPECT_EQ(trace.size(), 0u);
}

TEST(ExecutionTrace, EntryLinesHaveTheStampRightAlignedInTwentyCharactersAndLineFeedsOnly) {
    ExecutionTrace trace(8);
    trace.record("first");
    trace.record(trace_messages::kReceivedBytes, 3);
    TraceFile file;
    ASSERT_TRUE(trace.dumpToFile(file.path()));
    EXPECT_EQ(file.bytes().find('\r'), std::string::npos);
    const auto lines = file.lines();
    ASSERT_EQ(lines.size(), 3u);
    long long previousStamp = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        ASSERT_GT(lines[i].size(), 22u);
        EXPECT_EQ(lines[i].substr(20, 2), ",,");
        const std::string stampField = lines[i].substr(0, 20);
        const auto firstDigit = stampField.find_first_not_of(' ');
        ASSERT_NE(firstDigit, std::string::npos);
        EXPECT_GT(firstDigit, 0u);  // today's counters have fewer than 20 digits
        EXPECT_EQ(stampField.find_first_not_of("0123456789", firstDigit), std::string::npos);
        const long long stamp = std::stoll(stampField.substr(firstDigit));
        EXPECT_GE(stamp, previousStamp);
        previousStamp = stamp;
    }
    EXPECT_EQ(messageOf(lines[1]), "first");
    EXPECT_EQ(messageOf(lines[2]), "Received 3 bytes.");
}

TEST(ExecutionTrace, DumpsOfAnEmptyTraceHoldOnlyTheFrequencyLine) {
    ExecutionTrace trace(4);
    TraceFile file;
    ASSERT_TRUE(trace.dumpToFile(file.path()));
    EXPECT_EQ(file.bytes(), frequencyLine() + "\n");

    trace.record("once");
    ASSERT_TRUE(trace.dumpToFile(file.path()));
    EXPECT_EQ(file.lines().size(), 2u);
    ASSERT_TRUE(trace.dumpToFile(file.path()));  // the first dump emptied the trace
    EXPECT_EQ(file.bytes(), frequencyLine() + "\n");
}

struct MessageCase {
    const char* rule;
    std::string message;
    std::string written;
};

TEST(ExecutionTrace, MessagesAreCutTo256BytesAndAtTheirFirstNul) {
    const MessageCase cases[] = {
        {"300 bytes keep the first 256", std::string(256, 'a') + std::string(44, 'b'), std::string(256, 'a')},
        {"exactly 256 bytes stay whole", std::string(255, 'c') + "d", std::string(255, 'c') + "d"},
        {"a NUL ends the text", std::string("ab\0cd", 5), "ab"},
        {"bytes above 0x7F pass unchanged", "\xE6\x97\xA5 ok", "\xE6\x97\xA5 ok"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        ExecutionTrace trace(2);
        trace.record(c.message);
        TraceFile file;
        ASSERT_TRUE(trace.dumpToFile(file.path()));
        const auto lines = file.lines();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(messageOf(lines[1]), c.written);
    }
}

TEST(ExecutionTrace, AnEmptyMessageEndsTheDumpAndLeavesLaterEntries) {
    ExecutionTrace trace(8);
    trace.record("before");
    trace.record("");
    trace.record("after");
    TraceFile file;
    ASSERT_TRUE(trace.dumpToFile(file.path()));
    const auto lines = file.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(messageOf(lines[1]), "before");
    EXPECT_EQ(trace.size(), 1u);
}

struct FormatCase {
    const char* rule;
    TraceFormat format;
    std::int64_t value;
    std::string written;
};

constexpr TraceFormat kLongFormat{
    "%lld "
    "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
    "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
    "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx",
    TraceFormat::Argument::Int64};

TEST(ExecutionTrace, DeferredFormatsWriteWhatFormattingAtOnceWould) {
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    const FormatCase cases[] = {
        {"byte count", trace_messages::kReceivedBytes, 922, "Received 922 bytes."},
        {"zero", trace_messages::kStartIndex, 0, "Start index is 0"},
        {"negative 64-bit", trace_messages::kTxConditionEvaluated, -1, "TxCondition has evaluated. = -1"},
        {"smallest 64-bit", trace_messages::kJumpConditionEvaluated, kMin,
         "JumpCondition has evaluated. = -9223372036854775808"},
        {"largest 64-bit", trace_messages::kTxConditionEvaluated, kMax,
         "TxCondition has evaluated. = 9223372036854775807"},
        {"%d takes the value as int", trace_messages::kUpdatePumpedUp, (std::int64_t{1} << 32) + 5,
         "UpdateTraffic : Pumped up 5 bytes."},
        {"%d of a negative int", trace_messages::kStartIndex, -7, "Start index is -7"},
        {"a long result is cut like a long text", kLongFormat, kMin, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        std::string atOnce(ExecutionTrace::kMaxMessageLength + 1, '\0');
        const int length = c.format.argument == TraceFormat::Argument::Int32
                               ? std::snprintf(atOnce.data(), atOnce.size(), c.format.text, static_cast<int>(c.value))
                               : std::snprintf(atOnce.data(), atOnce.size(), c.format.text,
                                               static_cast<long long>(c.value));
        ASSERT_GT(length, 0);
        atOnce.resize(std::min<std::size_t>(static_cast<std::size_t>(length), ExecutionTrace::kMaxMessageLength));
        if (!c.written.empty()) {
            EXPECT_EQ(atOnce, c.written);
        }

        ExecutionTrace deferred(2);
        deferred.record(c.format, c.value);
        ExecutionTrace immediate(2);
        immediate.record(atOnce);
        TraceFile deferredFile;
        TraceFile immediateFile;
        ASSERT_TRUE(deferred.dumpToFile(deferredFile.path()));
        ASSERT_TRUE(immediate.dumpToFile(immediateFile.path()));
        const auto deferredLines = deferredFile.lines();
        const auto immediateLines = immediateFile.lines();
        ASSERT_EQ(deferredLines.size(), 2u);
        ASSERT_EQ(immediateLines.size(), 2u);
        EXPECT_EQ(messageOf(deferredLines[1]), messageOf(immediateLines[1]));
        EXPECT_EQ(messageOf(deferredLines[1]).size(), atOnce.size());
    }
}

TEST(ExecutionTrace, AFileThatCannotBeOpenedLeavesTheTraceAsItWas) {
    ExecutionTrace trace(4);
    trace.record("kept");
    TraceFile file;
    EXPECT_FALSE(trace.dumpToFile(file.unopenable()));
    EXPECT_EQ(trace.size(), 1u);
    ASSERT_TRUE(trace.dumpToFile(file.path()));
    EXPECT_EQ(messageOf(file.lines().at(1)), "kept");
}

TEST(ExecutionTrace, ACapacityOfZeroKeepsNothing) {
    ExecutionTrace trace(0);
    trace.record("lost");
    trace.record(trace_messages::kStartIndex, 1);
    EXPECT_EQ(trace.size(), 0u);
    TraceFile file;
    ASSERT_TRUE(trace.dumpToFile(file.path()));
    EXPECT_EQ(file.bytes(), frequencyLine() + "\n");
}

}  // namespace
}  // namespace orvalix
