#include "core/traffic/log_files.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "../project/temp_folder.hpp"
#include "traffic_test_support.hpp"

namespace orvalix {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::expectedLine;
using test::expectedTimeText;
using test::kBom;
using test::readFile;
using test::TempFolder;
using test::timeAt;

constexpr std::uint64_t kNoLocalTime = std::numeric_limits<std::uint64_t>::max();

std::string lineOf(const Bytes& data, std::uint64_t time, std::uint32_t attributeValue) {
    std::ostringstream out;
    writeRecordLine(out, data, time, attributeValue);
    return out.str();
}

std::string narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

TEST(RecordLine, FieldsAreLengthAttributeAndBytesInLowerCaseHexEndingInCrLf) {
    struct Case {
        Bytes data;
        std::uint32_t attribute;
        std::string fields;
    };
    const Case cases[] = {
        {{0x0A}, 0, ",1,00000000,0a\r\n"},
        {{0x02, 0x41, 0x03}, 0x80000000u, ",3,80000000,02,41,03\r\n"},
        {{0xFF, 0x00, 0xAB}, 0x8000000Cu, ",3,8000000c,ff,00,ab\r\n"},
        {{}, 0x1F, ",0,0000001f\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(lineOf(c.data, timeAt(), c.attribute), expectedTimeText(timeAt()) + c.fields);
    }
}

TEST(RecordLine, ALongFrameKeepsEveryByte) {
    Bytes data(1000);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i * 7);
    }
    EXPECT_EQ(lineOf(data, timeAt(), 5), expectedLine(timeAt(), data, 5));
}

TEST(RecordLine, ATimeWithoutLocalFormLeavesTheTimeFieldEmpty) {
    EXPECT_EQ(lineOf(Bytes{0x0A}, kNoLocalTime, 0), ",1,00000000,0a\r\n");
}

TEST(TimeText, ShowsLocalTimeToTheMillisecond) {
    // Zones differ by whole minutes, so seconds and milliseconds are the same everywhere.
    const std::string text = narrow(formatTime(timeAt()));
    ASSERT_EQ(text.size(), 23u) << text;
    EXPECT_EQ(text, expectedTimeText(timeAt()));
    EXPECT_EQ(text.substr(4, 1) + text.substr(7, 1) + text.substr(10, 1) + text.substr(13, 1) + text.substr(16, 1),
              "// ::");
    EXPECT_EQ(text.substr(17), "59.007");
    EXPECT_EQ(narrow(formatTime(timeAt(993))).substr(17), "00.000");
}

TEST(TimeText, CompactFormHasTheSameFieldsWithoutSeparators) {
    const std::string text = narrow(formatCompactTime(timeAt()));
    std::string expected;
    for (const char c : expectedTimeText(timeAt())) {
        if (c >= '0' && c <= '9') {
            expected += c;
        }
    }
    expected.insert(8, "_");
    expected.insert(15, "_");
    EXPECT_EQ(text, expected);
    EXPECT_EQ(text.substr(13), "59_007");
}

TEST(TimeText, IsEmptyWhenTheTimeHasNoLocalForm) {
    EXPECT_EQ(formatTime(kNoLocalTime), u"");
    EXPECT_EQ(formatCompactTime(kNoLocalTime), u"");
}

TEST(SafeFileName, ReplacesWhatAFileSystemRefuses) {
    struct Case {
        std::u16string name;
        std::u16string safe;
    };
    const Case cases[] = {
        {u"Ack", u"Ack"},
        {u"ok name.1", u"ok name.1"},
        {u"\u5fdc\u7b54", u"\u5fdc\u7b54"},
        {u"\U0001F600x", u"\U0001F600x"},
        {u"<>:\"/\\|?*", u"_________"},
        {u"../x", u".._x"},
        {u"a\\b", u"a_b"},
        {u"con:1", u"con_1"},
        {u"tab\there\x01", u"tab_here_"},
        {u"", u"_"},
        {u".", u"_"},
        {u"..", u"__"},
        {u"...", u"___"},
        {u" . ", u"___"},
        {u"..a", u"..a"},
        {std::u16string(1, char16_t{0xD800}) + u"x", u"_x"},
        {u"x" + std::u16string(1, char16_t{0xDC00}), u"x_"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(safeFileName(c.name), c.safe) << narrow(c.name);
    }
}

TEST(LogPath, MakesTheFoldersAndNamesTheFileAfterConditionAndTime) {
    const TempFolder folder;
    const fs::path path = logPath(folder.wide(), u"P1", u"Ack", timeAt());
    EXPECT_EQ(path, folder.path() / "Logs" / "P1" / ("Ack-" + narrow(formatCompactTime(timeAt())) + ".log"));
    EXPECT_TRUE(fs::is_directory(folder.path() / "Logs" / "P1"));
    EXPECT_FALSE(fs::exists(path)) << "the path only; writing makes the file";
}

TEST(LogPath, NoNameCanLeadOutOfTheEnvironmentsLogFolder) {
    struct Case {
        std::u16string environment;
        std::u16string condition;
        std::string folder;
        std::string prefix;
    };
    const Case cases[] = {
        {u"P1", u"../x", "P1", ".._x"},
        {u"P1", u"a\\b", "P1", "a_b"},
        {u"P1", u"con:1", "P1", "con_1"},
        {u"P1", u"/etc/passwd", "P1", "_etc_passwd"},
        {u"P1", u"", "P1", "_"},
        {u"..", u"x", "__", "x"},
        {u"../up", u"x", ".._up", "x"},
        {u"", u"x", "_", "x"},
    };
    for (const Case& c : cases) {
        const TempFolder folder;
        const fs::path path = logPath(folder.wide(), c.environment, c.condition, timeAt());
        ASSERT_FALSE(path.empty()) << c.folder << "/" << c.prefix;
        EXPECT_EQ(path.parent_path(), folder.path() / "Logs" / c.folder);
        EXPECT_EQ(path.filename().string(), c.prefix + "-" + narrow(formatCompactTime(timeAt())) + ".log");

        appendRecords(path, std::vector<LogRecord>{{timeAt(), 0, {1}}});
        EXPECT_TRUE(fs::is_regular_file(path));
        std::vector<fs::path> top;
        for (const auto& entry : fs::directory_iterator(folder.path())) {
            top.push_back(entry.path().filename());
        }
        EXPECT_EQ(top, std::vector<fs::path>{"Logs"}) << "nothing written beside Logs";
    }
}

TEST(LogPath, IsEmptyWhenAFolderCannotBeMade) {
    const TempFolder folder;
    folder.write(u"Logs", "a file where the folder should be");
    EXPECT_TRUE(logPath(folder.wide(), u"P1", u"Ack", timeAt()).empty());

    const TempFolder other;
    EXPECT_TRUE(logPath((other.path() / "missing").u16string(), u"P1", u"Ack", timeAt()).empty());
    EXPECT_FALSE(fs::exists(other.path() / "missing"));
}

TEST(AppendRecords, AFileGetsTheByteOrderMarkOnceThenLinesInOrder) {
    const TempFolder folder;
    const fs::path path = folder.path() / "x.log";
    const std::vector<LogRecord> first{{timeAt(1), 0x80000000u, {1, 2}}, {timeAt(2), 0, {3}}};
    const std::vector<LogRecord> second{{timeAt(3), 0, {4}}};
    appendRecords(path, first);
    appendRecords(path, second);
    EXPECT_EQ(readFile(path), kBom + expectedLine(timeAt(1), {1, 2}, 0x80000000u) + expectedLine(timeAt(2), {3}, 0) +
                                  expectedLine(timeAt(3), {4}, 0));
}

TEST(AppendRecords, RecordsWithoutDataAreSkippedAndAnEmptyListMakesNoFile) {
    const TempFolder folder;
    const fs::path path = folder.path() / "x.log";
    appendRecords(path, {});
    EXPECT_FALSE(fs::exists(path));
    appendRecords(path, std::vector<LogRecord>{{timeAt(1), 0, {}}, {timeAt(2), 0, {7}}});
    EXPECT_EQ(readFile(path), kBom + expectedLine(timeAt(2), {7}, 0));
}

TEST(AppendRecords, AnEmptyPathOrAMissingFolderLosesTheWriteSilently) {
    const TempFolder folder;
    const std::vector<LogRecord> records{{timeAt(1), 0, {1}}};
    appendRecords({}, records);
    appendRecords(folder.path() / "missing" / "x.log", records);
    EXPECT_FALSE(fs::exists(folder.path() / "missing"));
}

TEST(WritePreTrigger, WritesTheTriggeringRecordAfterUpToPreEarlierOnes) {
    struct Case {
        std::int32_t pre;
        int held;   // records r1 .. r<held> in the stream (capacity 20)
        int first;  // first and last record written; first 0 for no file
        int last;
    };
    const Case cases[] = {
        {0, 10, 10, 10}, {2, 10, 8, 10}, {5, 2, 1, 2}, {9, 10, 1, 10}, {-1, 5, 0, 0}, {-7, 5, 0, 0},
        {std::numeric_limits<std::int32_t>::max(), 3, 1, 3},
    };
    const Environment environment = test::makeEnvironment(20, 4);
    for (const Case& c : cases) {
        TrafficStream stream(environment);
        for (int n = 1; n <= c.held; ++n) {
            const std::uint32_t attributeValue = n % 2 == 0 ? kReceivedAttribute : 0;
            stream.append(Bytes{static_cast<std::uint8_t>(n)}, timeAt(n), test::makeExtra(0, attributeValue));
        }
        const TempFolder folder;
        const fs::path path = folder.path() / "pre.log";
        Bytes buffer(4);
        writePreTrigger(path, stream, c.pre, buffer);

        if (c.first == 0) {
            EXPECT_FALSE(fs::exists(path)) << "pre " << c.pre;
            continue;
        }
        std::string expected = kBom;
        for (int n = c.first; n <= c.last; ++n) {
            expected += expectedLine(timeAt(n), {static_cast<std::uint8_t>(n)}, n % 2 == 0 ? kReceivedAttribute : 0);
        }
        EXPECT_EQ(readFile(path), expected) << "pre " << c.pre << ", " << c.held << " held";
    }
}

TEST(WritePreTrigger, StartsWithTheOldestRecordTheStreamStillHolds) {
    const Environment environment = test::makeEnvironment(3, 4);
    TrafficStream stream(environment);
    for (int n = 1; n <= 5; ++n) {
        stream.append(Bytes{static_cast<std::uint8_t>(n)}, timeAt(n), {});
    }
    const TempFolder folder;
    const fs::path path = folder.path() / "pre.log";
    Bytes buffer(4);
    writePreTrigger(path, stream, 10, buffer);
    EXPECT_EQ(readFile(path), kBom + expectedLine(timeAt(3), {3}, 0) + expectedLine(timeAt(4), {4}, 0) +
                                  expectedLine(timeAt(5), {5}, 0));
}

}  // namespace
}  // namespace orvalix
