#include "ui/view/traffic_rows.hpp"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "../../core/traffic/traffic_test_support.hpp"

namespace orvalix::ui {
namespace {

using Texts = std::vector<std::u16string>;

TEST(TrafficRows, RecordShadeShowsDirectionAndErrorsOfRecordsWithData) {
    const std::tuple<std::int32_t, std::uint32_t, RecordShade> cases[] = {
        {1, 0x80000000, RecordShade::Received}, {1, 0x80000008, RecordShade::Error},
        {1, 0x00000000, RecordShade::Window},   {1, 0x40000000, RecordShade::Error},
        {1, 0x00008000, RecordShade::Error},    {1, 0x20010000, RecordShade::Window},
        {0, 0x80000008, RecordShade::Window},
        // A fault's number beside bit 30: its own shade, received or sent, whatever else is set.
        {1, 0x40010000, RecordShade::Fault},    {1, 0xC0020008, RecordShade::Fault},
        {0, 0x40010000, RecordShade::Window},
    };
    for (const auto& [length, attribute, shade] : cases) {
        EXPECT_EQ(recordShade(length, attribute), shade) << std::hex << attribute << ' ' << length;
    }
}

TEST(TrafficRows, RecordCellsShowTimeLengthAndAttributeOnlyForRecordsWithData) {
    const std::uint64_t time = test::timeAt(7);
    ASSERT_FALSE(formatTime(time).empty());
    const auto row = [&](std::int32_t length, std::uint32_t attribute) {
        return Texts{recordCellText(0, length, time, attribute), recordCellText(1, length, time, attribute),
                     recordCellText(2, length, time, attribute), recordCellText(3, length, time, attribute)};
    };
    EXPECT_EQ(row(17, 0x8000000a), (Texts{formatTime(time), u"17", u"8000000a", u""}));
    EXPECT_EQ(row(1, 0), (Texts{formatTime(time), u"1", u"00000000", u""}));
    EXPECT_EQ(row(0, 0x80000000), (Texts{u"", u"", u"", u""}));
}

TEST(TrafficRows, ByteListShowsEightBytesARowAfterTheRowOffset) {
    const std::tuple<std::int32_t, std::int32_t> rows[] = {{0, 0}, {-1, 0}, {1, 1}, {8, 1}, {9, 2}, {17, 3}};
    for (const auto& [length, count] : rows) EXPECT_EQ(byteListRows(length), count) << length;

    std::vector<std::uint8_t> record(17);
    for (std::size_t i = 0; i < record.size(); ++i) record[i] = static_cast<std::uint8_t>(0xF0 + i);
    const auto row = [&](std::int32_t r) {
        Texts texts;
        for (int column = 0; column <= kBytesPerRow; ++column) texts.push_back(byteCellText(record, r, column));
        return texts;
    };
    EXPECT_EQ(row(0), (Texts{u"0000", u"f0", u"f1", u"f2", u"f3", u"f4", u"f5", u"f6", u"f7"}));
    EXPECT_EQ(row(1)[0], u"0008");
    EXPECT_EQ(row(1)[8], u"ff");
    EXPECT_EQ(row(2), (Texts{u"0010", u"00", u"", u"", u"", u"", u"", u"", u""}));
    EXPECT_EQ(row(3)[1], u"") << "past the record";
    EXPECT_EQ(byteCellText({}, 0, 0), u"") << "no record selected";
}

TEST(TrafficRows, MarkCellsShowTheRecordTimeAndTheConditionName) {
    const Environment environment = test::makeEnvironment(4, 8, {u"Request", u"Reply"});
    TrafficStream stream(environment);
    const std::uint64_t time = test::timeAt(3);
    const test::Bytes extra = test::makeExtra(2, kReceivedAttribute, {1});
    stream.append(test::dataOf(1), time, extra);
    ASSERT_EQ(stream.addMarks(time, extra), 1);
    EXPECT_EQ((Texts{markCellText(0, stream, 0), markCellText(1, stream, 0), markCellText(2, stream, 0)}),
              (Texts{formatTime(time), u"Reply", u""}));
    EXPECT_EQ((Texts{markCellText(0, stream, 1), markCellText(1, stream, 1)}), (Texts{u"", u""})) << "no mark 1";
}

}  // namespace
}  // namespace orvalix::ui
