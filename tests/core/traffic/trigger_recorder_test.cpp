#include "core/traffic/trigger_recorder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "../project/temp_folder.hpp"
#include "traffic_test_support.hpp"

namespace orvalix {
namespace {

namespace fs = std::filesystem;
using test::logOf;
using test::timeAt;
using Triggers = std::vector<std::size_t>;

class TriggerRecording : public ::testing::Test {
protected:
    void setCounts(int pre, int post) {
        environment_.port.preTriggerCount = pre;
        environment_.port.postTriggerCount = post;
    }
    // Record n (see logOf) through the pump's order: stream first, then the trigger step.
    // Returns how many files it started; started_ collects them.
    std::size_t record(int n, const Triggers& triggers = {}, std::u16string_view environment = u"P1",
                       std::optional<std::uint32_t> word = std::nullopt) {
        const test::Bytes extra =
            test::makeExtra(environment_.namedConditions.size(), word.value_or(test::attributeOf(n)), {}, triggers);
        stream_.append(test::dataOf(n), timeAt(n), extra);
        stream_.addMarks(timeAt(n), extra);
        TriggerOutcome outcome = recorder_.triggerStep(folder_.wide(), environment, environment_, stream_,
                                                       test::dataOf(n), timeAt(n), extra, pending_);
        started_.insert(started_.end(), outcome.started.begin(), outcome.started.end());
        stopped_.insert(stopped_.end(), outcome.stopped.begin(), outcome.stopped.end());
        refused_ += outcome.refused;
        return outcome.started.size();
    }
    void endPass() {
        const std::vector<StoppedLog> stopped = recorder_.flush(u"P1", pending_);
        stopped_.insert(stopped_.end(), stopped.begin(), stopped.end());
    }
    fs::path logFile(std::u16string_view condition, int n) const {
        return logPath(folder_.wide(), u"P1", condition, timeAt(n));
    }
    std::vector<StartedLog> started_;
    std::vector<StoppedLog> stopped_;
    std::size_t refused_ = 0;
    // Bytes the file system still takes; a write beyond them stops there, as on a full disk.
    std::size_t room_ = SIZE_MAX;

    test::TempFolder folder_;
    Environment environment_ = test::makeEnvironment(50, 8, {u"T0", u"T1"});
    TrafficStream stream_{environment_};
    TriggerRecorder recorder_{[this](const fs::path& path, std::string_view bytes) {
        const std::size_t taken = std::min(room_, bytes.size());
        room_ -= taken;
        const std::error_code error = appendToFile(path, bytes.substr(0, taken));
        return taken < bytes.size() ? std::make_error_code(std::errc::no_space_on_device) : error;
    }};
    PendingLogRecords pending_;
};

TEST_F(TriggerRecording, ARecordAFaultTouchedNamesTheFaultBeforeTheTriggerAndAfterIt) {
    environment_.faults.resize(2);
    environment_.faults[1].name = u"slow";
    constexpr std::uint32_t kSecondFault = 0x40020000u;
    setCounts(1, 1);
    record(1, {}, u"P1", kSecondFault);
    record(2, {0});
    record(3, {}, u"P1", kSecondFault);
    endPass();
    const std::string log = test::readFile(logFile(u"T0", 2));
    EXPECT_NE(log.find(",80000000,02\r\n"), std::string::npos) << "the untouched trigger record as ever: " << log;
    EXPECT_NE(log.find(",40020000,01,fault: slow\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find(",40020000,03,fault: slow\r\n"), std::string::npos) << log;
}

// Steps are records {n, conditions it triggers}; after one pass the started files, in order
// of starting, are {condition, trigger record, first record, last record}, and no others exist.
TEST_F(TriggerRecording, FilesHoldThePreTriggerBlockThenPostRecordsUntilTheCountRunsOut) {
    using Steps = std::vector<std::pair<int, Triggers>>;
    using Logs = std::vector<std::array<int, 4>>;
    const std::tuple<const char*, int, int, Steps, Logs> cases[] = {
        // clang-format off
        {"pre records, then the trigger", 2, 0, {{1, {}}, {2, {}}, {3, {}}, {4, {1}}}, {{1, 4, 2, 4}}},
        {"post 0 ends at the next record", 1, 0, {{1, {}}, {2, {0}}, {3, {}}}, {{0, 2, 1, 2}}},
        {"which may start again", 1, 0, {{1, {}}, {2, {0}}, {3, {0}}}, {{0, 2, 1, 2}, {0, 3, 2, 3}}},
        {"post 2 takes two, the third may trigger again", 0, 2, {{10, {0}}, {11, {}}, {12, {}}, {13, {0}}},
         {{0, 10, 10, 12}, {0, 13, 13, 13}}},
        {"a trigger of a recording condition is ignored", 0, 3, {{1, {0}}, {2, {0}}}, {{0, 1, 1, 2}}},
        {"a negative post never runs out", 0, -1, {{1, {0}}, {2, {}}, {3, {0}}, {4, {}}}, {{0, 1, 1, 4}}},
        {"two conditions on one record, in condition order", 1, 0, {{1, {}}, {2, {1, 0}}},
         {{0, 2, 1, 2}, {1, 2, 1, 2}}},
        {"pending records are kept per condition and trigger time", 0, 1,
         {{1, {0}}, {2, {}}, {3, {0}}, {4, {1}}, {5, {}}}, {{0, 1, 1, 2}, {0, 3, 3, 4}, {1, 4, 4, 5}}},
        // clang-format on
    };
    for (const auto& [rule, pre, post, steps, logs] : cases) {
        SCOPED_TRACE(rule);
        fs::remove_all(folder_.path() / "Logs");
        stream_.clear();
        recorder_.clear();
        setCounts(pre, post);
        started_.clear();
        for (const auto& [n, triggers] : steps) record(n, triggers);
        endPass();
        ASSERT_EQ(started_.size(), logs.size());
        const fs::directory_iterator files(folder_.path() / "Logs" / "P1");
        EXPECT_EQ(std::distance(files, fs::directory_iterator()), std::ssize(logs));
        for (std::size_t i = 0; i < logs.size(); ++i) {
            const auto [condition, trigger, first, last] = logs[i];
            EXPECT_EQ(started_[i].condition, condition == 0 ? u"T0" : u"T1");
            EXPECT_EQ(started_[i].path, logFile(started_[i].condition, trigger));
            EXPECT_EQ(test::readFile(started_[i].path), logOf(first, last)) << i;
        }
    }
}

TEST_F(TriggerRecording, CountsAreReadAtEachTriggerAndARecordingGrowsByOneBlockPerPass) {
    record(1, {0});
    setCounts(1, 4);
    record(2, {0});
    EXPECT_EQ(test::readFile(logFile(u"T0", 1)), logOf(1, 1)) << "pre 0 and post 0 when it started";
    for (const int last : {3, 5, 7}) {
        record(last);
        endPass();
        EXPECT_EQ(test::readFile(logFile(u"T0", 2)), logOf(1, std::min(last, 6)));
        record(last + 1);
    }
    EXPECT_FALSE(recorder_.recordings().at(u"P1").contains(u"T0")) << "an ended recording is dropped";
}

TEST_F(TriggerRecording, AnUnwritableLogFolderLosesTheWritesButRecordingsRunUntilCleared) {
    folder_.write(u"Logs", "not a folder");
    setCounts(1, -1);
    ASSERT_EQ(record(1, {0, 1}), 2u);
    EXPECT_TRUE(started_[0].path.empty());
    record(2);
    record(3, {}, u"P2");  // another environment feeds no recording of P1
    EXPECT_TRUE(pending_.empty()) << "nothing gathered for a file that cannot be made";
    endPass();
    EXPECT_TRUE(stopped_.empty() && fs::is_regular_file(folder_.path() / "Logs"));
    EXPECT_EQ(record(4, {0}), 0u) << "T0 still records";
    recorder_.clear();
    EXPECT_EQ(record(5, {0}), 1u) << "T0 starts again";
}

TEST_F(TriggerRecording, AFullDiskStopsTheRecordingWithWholeRecordsAndTheNextTriggerStartsAfresh) {
    setCounts(1, -1);
    record(1);
    ASSERT_EQ(record(2, {0}), 1u);
    const fs::path first = logFile(u"T0", 2);
    const std::size_t line = test::logOf(3, 3).size() - test::kBom.size();
    room_ = 2 * line + 5;  // records 3 and 4, and part of 5
    for (int n = 3; n <= 6; ++n) record(n);
    endPass();
    ASSERT_EQ(stopped_.size(), 1u);
    EXPECT_EQ(stopped_[0].condition, u"T0");
    EXPECT_EQ(stopped_[0].path, first);
    EXPECT_EQ(stopped_[0].records, 4u) << "two pre-trigger records and two of the pass";
    EXPECT_EQ(stopped_[0].error, std::errc::no_space_on_device);
    EXPECT_EQ(test::readFile(first), test::logOf(1, 4)) << "cut back to the last whole record";
    EXPECT_FALSE(recorder_.recordings().at(u"P1").contains(u"T0"));

    record(7);
    endPass();
    EXPECT_EQ(stopped_.size(), 1u) << "reported once";
    room_ = 3;
    EXPECT_EQ(record(8, {0}), 1u);
    EXPECT_TRUE(started_.back().path.empty()) << "no room for one record: no file";
    EXPECT_EQ(started_.back().error, std::errc::no_space_on_device);
    EXPECT_FALSE(fs::exists(logFile(u"T0", 8)));
    room_ = SIZE_MAX;
    EXPECT_EQ(record(9, {0}), 1u) << "room again: the next trigger starts afresh";
    EXPECT_EQ(test::readFile(logFile(u"T0", 9)), test::logOf(8, 9));
}

TEST_F(TriggerRecording, TwoRecordingsNeverShareAFile) {
    environment_ = test::makeEnvironment(50, 8, {u"a:b", u"a?b"});
    setCounts(0, 0);
    // Both names clean to a_b, and a recording ended in the same millisecond as a new one starts.
    ASSERT_EQ(record(1, {0, 1}), 2u);
    endPass();
    record(1, {0});
    const fs::path base = logFile(u"a_b", 1);
    ASSERT_EQ(started_.size(), 3u);
    EXPECT_EQ(started_[0].path, base);
    EXPECT_EQ(started_[1].path, numberedLogPath(base, 2));
    EXPECT_EQ(started_[2].path, numberedLogPath(base, 3));
    EXPECT_EQ(numberedLogPath(fs::path("L") / "a_b-T.log", 3), fs::path("L") / "a_b-T-3.log");
    for (const StartedLog& log : started_) EXPECT_EQ(test::readFile(log.path), test::logOf(1, 1));
    recorder_.clear();
    record(1, {1});
    EXPECT_EQ(started_.back().path, base) << "a new run numbers afresh (and appends, as it always did)";
}

TEST_F(TriggerRecording, OneRecordStartsAtMostTheLimitOfLogFilesAndCountsTheRest) {
    std::vector<std::u16string> names;
    std::vector<std::size_t> all;
    for (std::size_t i = 0; i < kMaxLogFilesPerRecord + 6; ++i) {
        names.push_back(u"C" + toWide(std::to_string(i)));
        all.push_back(i);
    }
    environment_ = test::makeEnvironment(50, 8, names);
    EXPECT_EQ(record(1, all), kMaxLogFilesPerRecord);
    EXPECT_EQ(refused_, 6u);
    EXPECT_EQ(started_.back().condition, u"C" + toWide(std::to_string(kMaxLogFilesPerRecord - 1)));
}

TEST_F(TriggerRecording, AFileNameTheFileSystemRefusesStartsNoLogFile) {
    environment_.namedConditions[1].cells = {std::u16string(300, u'L'), u"1", u"0", u"0"};  // above any file name limit
    ASSERT_EQ(record(1, {0, 1}), 2u);
    EXPECT_FALSE(started_[0].path.empty());
    EXPECT_TRUE(started_[1].path.empty()) << "named as a log file though none was made";
}

}  // namespace
}  // namespace orvalix
