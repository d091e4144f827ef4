#include "core/traffic/log_files.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "../project/temp_folder.hpp"
#include "core/platform/local_time.hpp"
#include "traffic_test_support.hpp"

namespace orvalix {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::timeAt;

constexpr std::uint64_t kNoLocalTime = std::numeric_limits<std::uint64_t>::max();

// Zones differ by whole minutes, so seconds and milliseconds are the same everywhere.
TEST(LogFile, ByteOrderMarkOnceThenACrLfLinePerRecordWithDataLocalTimeAndLowerCaseHex) {
    const platform::LocalTimeFields t = platform::toLocalTime(timeAt()).value();
    char time[96], name[96];
    std::snprintf(time, sizeof time, "%04d/%02d/%02d %02d:%02d:59.", t.year, t.month, t.day, t.hour,
                  t.minute);
    std::snprintf(name, sizeof name, "%04d%02d%02d_%02d%02d59_007", t.year, t.month, t.day, t.hour, t.minute);
    const test::TempFolder folder;
    const fs::path path = folder.path() / "x.log";
    EXPECT_EQ(appendBlock(path, LogBlock{}).recordsWritten, 0u);
    EXPECT_FALSE(fs::exists(path)) << "an empty block makes no file";
    LogBlock first;
    first.add(Bytes{0xFF, 0x00}, timeAt(), 0x8000000Cu);
    first.add(Bytes{0x0A}, timeAt(2), 0x1F);
    LogBlock second;
    second.add(Bytes{0x41}, timeAt(3), 0);
    EXPECT_EQ(appendBlock(path, first).recordsWritten, 2u);
    EXPECT_FALSE(appendBlock(path, second).error);
    EXPECT_EQ(test::readFile(path), test::kBom + time + "007,2,8000000c,ff,00\r\n" + time +
                                        "009,1,0000001f,0a\r\n" + time + "010,1,00000000,41\r\n");

    EXPECT_EQ(toNarrow(formatTime(timeAt())), time + std::string("007"));
    EXPECT_EQ(toNarrow(formatCompactTime(timeAt())), name);
    EXPECT_EQ(formatTimeNarrow(timeAt(993)).substr(17), "00.000");
    LogBlock line;
    line.add(Bytes{}, kNoLocalTime, 0);
    EXPECT_EQ(line.text(), ",0,00000000\r\n") << "a time without local form leaves its field empty";
    EXPECT_EQ(formatTime(kNoLocalTime) + formatCompactTime(kNoLocalTime), u"");
}

TEST(LogFile, ARecordAFaultTouchedEndsInTheFaultsNameQuotedOnlyWhenTheNameNeedsIt) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"", ",1,40010000,41\r\n"},  // no fault: the line as ever
        {"slow", ",1,40010000,41,fault: slow\r\n"},
        {"a,b", ",1,40010000,41,\"fault: a,b\"\r\n"},
        {"say \"hi\"", ",1,40010000,41,\"fault: say \"\"hi\"\"\"\r\n"},
    };
    for (const auto& [fault, text] : cases) {
        LogBlock line;
        line.add(Bytes{0x41}, kNoLocalTime, 0x40010000u, fault);
        EXPECT_EQ(line.text(), text) << fault;
    }
}

TEST(SafeFileName, ReplacesWhatAFileSystemRefusesAndNamesThatLeaveTheFolder) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        // clang-format off
        {u"ok name.1", u"ok name.1"}, {u"\u5fdc\u7b54", u"\u5fdc\u7b54"}, {u"\U0001F600x", u"\U0001F600x"},
        {u"<>:\"/\\|?*", u"_________"}, {u"../x", u".._x"}, {u"tab\there\x01", u"tab_here_"}, {u"", u"_"},
        {u".", u"_"}, {u"..", u"__"}, {u" . ", u"___"}, {u"..a", u"..a"},
        {u"\xD800x", u"_x"}, {u"x\xDC00", u"x_"},
        // clang-format on
    };
    for (const auto& [name, safe] : cases) EXPECT_EQ(safeFileName(name), safe) << toNarrow(name);
}

TEST(LogPath, MakesTheFoldersAndNoNameLeadsOutOfTheEnvironmentsLogFolder) {
    const std::array<std::string, 4> cases[] = {
        {"P1", "Ack", "P1", "Ack"}, {"P1", "/etc/passwd", "P1", "_etc_passwd"}, {"../up", "x", ".._up", "x"}};
    for (const auto& [environment, condition, folderName, prefix] : cases) {
        const test::TempFolder folder;
        const fs::path path = logPath(folder.wide(), toWide(environment), toWide(condition), timeAt());
        EXPECT_EQ(path, folder.path() / "Logs" / folderName /
                            (prefix + "-" + toNarrow(formatCompactTime(timeAt())) + ".log"));
        EXPECT_TRUE(fs::is_directory(path.parent_path()) && !fs::exists(path)) << "the folders only";
    }
    const test::TempFolder folder;
    folder.write(u"Logs", "a file where the folder should be");
    EXPECT_TRUE(logPath(folder.wide(), u"P1", u"Ack", timeAt()).empty());
    EXPECT_TRUE(logPath((folder.path() / "missing").u16string(), u"P1", u"Ack", timeAt()).empty());
    EXPECT_FALSE(fs::exists(folder.path() / "missing"));
}

// Records r1 .. r<held> in a stream of the given capacity; first and last record written,
// first 0 for no file.
TEST(WritePreTrigger, WritesTheTriggeringRecordAfterUpToPreEarlierOnesTheStreamStillHolds) {
    const std::array<int, 5> cases[] = {
        // clang-format off
        {20, 10, 0, 10, 10}, {20, 10, 2, 8, 10}, {20, 2, 5, 1, 2}, {20, 10, 9, 1, 10},
        {20, 5, -1, 0, 0}, {20, 5, -7, 0, 0}, {3, 5, 10, 3, 5}, {20, 3, INT_MAX, 1, 3},
        // clang-format on
    };
    for (const auto& [capacity, held, pre, first, last] : cases) {
        const Environment environment = test::makeEnvironment(capacity, 4);
        TrafficStream stream(environment);
        for (int n = 1; n <= held; ++n) {
            stream.append(test::dataOf(n), timeAt(n), test::makeExtra(0, test::attributeOf(n)));
        }
        const test::TempFolder folder;
        Bytes buffer(4);
        appendBlock(folder.path() / "pre.log", preTriggerBlock(stream, pre, buffer));
        EXPECT_EQ(test::readFile(folder.path() / "pre.log"), first == 0 ? "" : test::logOf(first, last))
            << "pre " << pre << ", " << held << " held";
    }
}

// A file system that takes only the first `room` bytes of a write, as a full disk does.
AppendBytes fullAfter(std::size_t room) {
    return [room](const fs::path& path, std::string_view bytes) {
        if (room > 0) {
            appendToFile(path, bytes.substr(0, room));
        }
        return std::make_error_code(std::errc::no_space_on_device);
    };
}

TEST(AppendBlock, AFailedWriteLeavesOnlyWholeRecordsAndNoEmptyNewFile) {
    LogBlock block;
    for (int n = 1; n <= 3; ++n) block.add(test::dataOf(n), timeAt(n), test::attributeOf(n));
    const std::size_t line = block.lineEnds()[0];  // every line here is as long
    const std::size_t bom = test::kBom.size();
    const std::tuple<const char*, bool, std::size_t, std::size_t, std::string> cases[] = {
        // clang-format off
        {"nothing written: no file", false, 0, 0, ""},
        {"stopped inside the byte-order mark: no file", false, 2, 0, ""},
        {"stopped inside the first record: no file", false, bom + 5, 0, ""},
        {"stopped just after a record keeps it", false, bom + line, 1, test::logOf(1, 1)},
        {"stopped inside the third record keeps two", false, bom + 2 * line + 1, 2, test::logOf(1, 2)},
        {"an older file is cut back to where it was", true, 4, 0, test::logOf(7, 7)},
        {"and keeps the new records that went in whole", true, line + 1, 1,
         test::logOf(7, 7) + test::logOf(1, 1).substr(bom)},
        // clang-format on
    };
    for (const auto& [rule, older, room, written, content] : cases) {
        SCOPED_TRACE(rule);
        const test::TempFolder folder;
        const fs::path path = folder.path() / "x.log";
        if (older) {
            LogBlock seven;
            seven.add(test::dataOf(7), timeAt(7), test::attributeOf(7));
            ASSERT_EQ(appendBlock(path, seven).recordsWritten, 1u);
        }
        const LogWrite result = appendBlock(path, block, fullAfter(room));
        EXPECT_EQ(result.recordsWritten, written);
        EXPECT_EQ(result.error, std::errc::no_space_on_device);
        EXPECT_EQ(fs::exists(path), !content.empty());
        EXPECT_EQ(test::readFile(path), content);
    }
}

}  // namespace
}  // namespace orvalix
