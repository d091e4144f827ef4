#include "core/traffic/trigger_recorder.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "../project/temp_folder.hpp"
#include "traffic_test_support.hpp"

namespace orvalix {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::expectedLine;
using test::kBom;
using test::readFile;
using test::timeAt;

constexpr std::u16string_view kEnvironment = u"P1";

// Record n: one data byte n, time timeAt(n), received on even n.
std::uint32_t attributeOf(int n) { return n % 2 == 0 ? kReceivedAttribute : 0; }
Bytes dataOf(int n) { return Bytes{static_cast<std::uint8_t>(n)}; }

class TriggerRecording : public ::testing::Test {
protected:
    void setCounts(int pre, int post) { test::setPrePost(environment_, pre, post); }

    // One record through the pump's order: stream first, then the trigger step.
    std::vector<StartedLog> record(int n, std::vector<std::size_t> triggers = {},
                                   std::u16string_view environmentName = kEnvironment) {
        const Bytes extra = test::makeExtra(environment_.namedConditions.size(), attributeOf(n), {}, triggers);
        stream_.append(dataOf(n), timeAt(n), extra);
        stream_.addMarks(timeAt(n), extra);
        return recorder_.triggerStep(folder_.wide(), environmentName, environment_, stream_, dataOf(n), timeAt(n),
                                     extra, pending_);
    }
    void endPass() { recorder_.flush(folder_.wide(), kEnvironment, pending_); }

    fs::path logOf(std::u16string_view condition, int n) const {
        return logPath(folder_.wide(), kEnvironment, condition, timeAt(n));
    }
    static std::string linesOf(std::initializer_list<int> records) {
        std::string text = kBom;
        for (const int n : records) {
            text += expectedLine(timeAt(n), dataOf(n), attributeOf(n));
        }
        return text;
    }
    std::size_t logCount() const {
        const fs::path directory = folder_.path() / "Logs" / "P1";
        if (!fs::is_directory(directory)) {
            return 0;
        }
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(directory), fs::directory_iterator()));
    }
    const orvalix::TriggerRecording* running(std::u16string_view condition) const {
        const auto byEnvironment = recorder_.recordings().find(kEnvironment);
        if (byEnvironment == recorder_.recordings().end()) {
            return nullptr;
        }
        const auto found = byEnvironment->second.find(condition);
        return found == byEnvironment->second.end() ? nullptr : &found->second;
    }

    test::TempFolder folder_;
    Environment environment_ = test::makeEnvironment(50, 8, 0, 0, {u"T0", u"T1"});
    TrafficStream stream_{environment_};
    TriggerRecorder recorder_;
    PendingLogRecords pending_;
};

TEST_F(TriggerRecording, ATriggerStartsAFileWithTheRecordsBeforeItAndItself) {
    setCounts(2, 0);
    record(1);
    record(2);
    record(3);
    const std::vector<StartedLog> started = record(4, {1});
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].condition, u"T1");
    EXPECT_EQ(started[0].path, logOf(u"T1", 4));
    EXPECT_EQ(readFile(logOf(u"T1", 4)), linesOf({2, 3, 4}));
}

TEST_F(TriggerRecording, PostZeroEndsAtTheNextRecordWhichMayStartAgain) {
    for (const bool nextTriggers : {false, true}) {
        SCOPED_TRACE(nextTriggers ? "next record triggers" : "next record is plain");
        recorder_.clear();
        stream_.clear();
        pending_.clear();
        fs::remove_all(folder_.path() / "Logs");
        setCounts(1, 0);

        record(1);
        record(2, {0});
        EXPECT_EQ(running(u"T0")->remaining, 0);
        const auto started = record(3, nextTriggers ? std::vector<std::size_t>{0} : std::vector<std::size_t>{});
        endPass();

        EXPECT_EQ(readFile(logOf(u"T0", 2)), linesOf({1, 2})) << "only the pre-trigger block";
        EXPECT_EQ(started.size(), nextTriggers ? 1u : 0u);
        EXPECT_EQ(running(u"T0") != nullptr, nextTriggers);
        EXPECT_EQ(logCount(), nextTriggers ? 2u : 1u);
        if (nextTriggers) {
            EXPECT_EQ(readFile(logOf(u"T0", 3)), linesOf({2, 3}));
        }
    }
}

TEST_F(TriggerRecording, PostTwoTakesTwoRecordsAndTheThirdMayTriggerAgain) {
    setCounts(0, 2);
    record(10, {0});
    record(11);
    record(12);
    const auto started = record(13, {0});
    endPass();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(readFile(logOf(u"T0", 10)), linesOf({10, 11, 12}));
    EXPECT_EQ(readFile(logOf(u"T0", 13)), linesOf({13}));
}

TEST_F(TriggerRecording, ATriggerOfAConditionAlreadyRecordingIsIgnored) {
    setCounts(0, 3);
    record(1, {0});
    EXPECT_TRUE(record(2, {0}).empty());
    EXPECT_EQ(running(u"T0")->triggerTime, timeAt(1));
    EXPECT_EQ(running(u"T0")->remaining, 2);
    endPass();
    EXPECT_EQ(logCount(), 1u);
    EXPECT_EQ(readFile(logOf(u"T0", 1)), linesOf({1, 2}));
}

TEST_F(TriggerRecording, ANegativePostCountNeverRunsOut) {
    setCounts(0, -1);
    record(1, {0});
    for (int n = 2; n <= 30; ++n) {
        record(n, n % 3 == 0 ? std::vector<std::size_t>{0} : std::vector<std::size_t>{});
    }
    EXPECT_EQ(running(u"T0")->remaining, -1);
    endPass();
    std::string expected = kBom;
    for (int n = 1; n <= 30; ++n) {
        expected += expectedLine(timeAt(n), dataOf(n), attributeOf(n));
    }
    EXPECT_EQ(readFile(logOf(u"T0", 1)), expected);
}

TEST_F(TriggerRecording, TwoConditionsTriggeringOnOneRecordWriteTwoFiles) {
    setCounts(1, 0);
    record(1);
    const auto started = record(2, {1, 0});
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[0].condition, u"T0");
    EXPECT_EQ(started[1].condition, u"T1");
    EXPECT_EQ(started[0].path.parent_path(), started[1].path.parent_path());
    EXPECT_EQ(readFile(logOf(u"T0", 2)), linesOf({1, 2}));
    EXPECT_EQ(readFile(logOf(u"T1", 2)), linesOf({1, 2}));
}

TEST_F(TriggerRecording, ARecordingAcrossPassesGrowsByOneBlockPerPassInOrder) {
    setCounts(0, 4);
    record(1, {0});
    record(2);
    endPass();
    EXPECT_EQ(readFile(logOf(u"T0", 1)), linesOf({1, 2}));
    EXPECT_TRUE(pending_.empty());
    record(3);
    record(4);
    endPass();
    EXPECT_EQ(readFile(logOf(u"T0", 1)), linesOf({1, 2, 3, 4}));
    record(5);
    record(6);
    endPass();
    EXPECT_EQ(readFile(logOf(u"T0", 1)), linesOf({1, 2, 3, 4, 5}));
    EXPECT_EQ(running(u"T0"), nullptr);
}

TEST_F(TriggerRecording, PendingRecordsAreKeptPerConditionAndTriggerTime) {
    setCounts(0, 1);
    record(1, {0});
    record(2);  // takes the last record of the first recording
    record(3, {0});
    record(4, {1});
    record(5);
    const std::vector<LogRecord> fromFirst{{timeAt(2), attributeOf(2), dataOf(2)}};
    const std::vector<LogRecord> fromSecond{{timeAt(4), attributeOf(4), dataOf(4)}};
    const std::vector<LogRecord> fromThird{{timeAt(5), attributeOf(5), dataOf(5)}};
    EXPECT_EQ(pending_[u"T0"][timeAt(1)], fromFirst);
    EXPECT_EQ(pending_[u"T0"][timeAt(3)], fromSecond);
    EXPECT_EQ(pending_[u"T1"][timeAt(4)], fromThird);

    endPass();
    EXPECT_EQ(readFile(logOf(u"T0", 1)), linesOf({1, 2}));
    EXPECT_EQ(readFile(logOf(u"T0", 3)), linesOf({3, 4}));
    EXPECT_EQ(readFile(logOf(u"T1", 4)), linesOf({4, 5}));
}

TEST_F(TriggerRecording, CountsAreReadFromTheEnvironmentAtEachTrigger) {
    setCounts(0, 0);
    record(1, {0});
    setCounts(2, 1);
    record(2, {0});
    record(3);
    endPass();
    EXPECT_EQ(readFile(logOf(u"T0", 1)), linesOf({1}));
    EXPECT_EQ(readFile(logOf(u"T0", 2)), linesOf({1, 2, 3}));
}

TEST_F(TriggerRecording, ClearEndsEveryRecording) {
    setCounts(0, -1);
    record(1, {0, 1});
    recorder_.clear();
    EXPECT_TRUE(recorder_.recordings().empty());
    EXPECT_EQ(record(2, {0}).size(), 1u);
    EXPECT_TRUE(pending_.empty()) << "no recording took the record";
}

TEST_F(TriggerRecording, EnvironmentsRecordSeparately) {
    setCounts(0, -1);
    record(1, {0});
    record(2, {}, u"P2");
    EXPECT_TRUE(pending_.empty());
    EXPECT_EQ(running(u"T0")->remaining, -1);
}

TEST_F(TriggerRecording, AnUnwritableLogFolderLosesTheWritesButTheRecordingRuns) {
    folder_.write(u"Logs", "not a folder");
    setCounts(1, 1);
    const auto started = record(1, {0});
    ASSERT_EQ(started.size(), 1u);
    EXPECT_TRUE(started[0].path.empty());
    record(2);
    EXPECT_EQ(running(u"T0")->remaining, 0);
    endPass();
    EXPECT_TRUE(fs::is_regular_file(folder_.path() / "Logs"));
    EXPECT_TRUE(pending_.empty());
}

}  // namespace
}  // namespace orvalix
