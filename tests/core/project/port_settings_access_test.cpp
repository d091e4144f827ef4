#include "core/project/port_settings_access.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "core/project/record_access.hpp"

namespace orvalix {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

std::u16string asciiWide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::string asciiNarrow(const std::u16string& text) {
    std::string narrow;
    for (const char16_t c : text) {
        narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    }
    return narrow;
}

// An environment table: a header row, then one row per setting with its value in column 2.
PortSettings settingsOf(const std::vector<std::u16string>& values) {
    PortSettings settings;
    settings.table.push_back({u"Item", u"Description", u"Value"});
    for (const std::u16string& value : values) {
        settings.table.push_back({u"label", u"text", value});
    }
    return settings;
}

TEST(CellAccess, MissingColumnsReadAsEmptyText) {
    const std::vector<std::u16string> row{u"a", u"", u" c "};
    struct Case {
        std::size_t column;
        std::u16string expected;
    };
    const Case cases[] = {{0, u"a"}, {1, u""}, {2, u" c "}, {3, u""}, {100, u""}};
    for (const Case& c : cases) {
        EXPECT_EQ(cell(row, c.column), c.expected) << "column " << c.column;
    }
    EXPECT_EQ(cell({}, 0), u"");
}

TEST(StepAccessors, CellsKeepTheirBlanks) {
    SequenceStep step;
    step.cells = {u" Start ", u"1", u" F ", u"\t0", u" Start"};
    EXPECT_EQ(label(step), u" Start ");
    EXPECT_EQ(frameName(step), u" F ");
    EXPECT_EQ(jumpConditionText(step), u"\t0");
    EXPECT_EQ(jumpTarget(step), u" Start");
}

TEST(StepAccessors, ThreeCellRowHasNoJump) {
    SequenceStep step;
    step.cells = {u"Start", u"1", u"Frame"};
    EXPECT_EQ(jumpConditionText(step), u"");
    EXPECT_EQ(jumpTarget(step), u"");
}

TEST(NamedConditionAccessors, ReadColumnsZeroTwoAndThree) {
    NamedCondition condition;
    condition.cells = {u" Ack ", u"R[0]==6", u"mark", u"trigger", u"extra"};
    EXPECT_EQ(name(condition), u" Ack ");
    EXPECT_EQ(markConditionText(condition), u"mark");
    EXPECT_EQ(triggerConditionText(condition), u"trigger");

    condition.cells = {u"Ack", u"1"};
    EXPECT_EQ(markConditionText(condition), u"");
    EXPECT_EQ(triggerConditionText(condition), u"");
}

TEST(Setting, ReadsColumnTwoOfTheRowAfterTheHeader) {
    PortSettings settings = settingsOf({u"COM3", u" 100 "});
    settings.table.push_back({u"short", u"row"});
    struct Case {
        int k;
        std::u16string expected;
    };
    const Case cases[] = {
        {-1, u""},      // the header is no setting
        {0, u"COM3"},
        {1, u" 100 "},  // values are not trimmed
        {2, u""},       // a row of two cells
        {3, u""},       // past the table
    };
    for (const Case& c : cases) {
        EXPECT_EQ(setting(settings, c.k), c.expected) << "k " << c.k;
    }
}

TEST(ReadInteger, FollowsStrtolWithBaseZero) {
    struct Case {
        std::u16string text;
        std::int32_t value;
        bool digitsRead;
    };
    const Case cases[] = {
        {u"", 0, false},
        {u"abc", 0, false},
        {u"-", 0, false},
        {u"+x", 0, false},
        {u"- 5", 0, false},  // no blank between sign and digits
        {u"\uFF11", 0, false},  // a full-width digit is no digit
        {u"9600", 9600, true},
        {u"12ab", 12, true},
        {u"  \t\n-42", -42, true},
        {u"+7", 7, true},
        {u"0x1F", 31, true},
        {u"0X1f", 31, true},
        {u"-0x10", -16, true},
        {u"0x", 0, true},
        {u"0xg", 0, true},
        {u"017", 15, true},
        {u"08", 0, true},
        {u"0", 0, true},
        {u"-0", 0, true},
        {u"2147483647", kMax, true},
        {u"2147483648", kMax, true},
        {u"99999999999999999999999", kMax, true},
        {u"-2147483648", kMin, true},
        {u"-2147483649", kMin, true},
        {u"0x7FFFFFFF", kMax, true},
        {u"0x80000000", kMax, true},
        {u"-0xFFFFFFFFFFFFFFFFFF", kMin, true},
        {u"037777777777", kMax, true},
    };
    for (const Case& c : cases) {
        const NumberReading reading = readInteger(c.text);
        EXPECT_EQ(reading.value, c.value) << asciiNarrow(c.text);
        EXPECT_EQ(reading.digitsRead, c.digitsRead) << asciiNarrow(c.text);
    }
}

TEST(NumericSetting, ReadsDigitsBeforeLetters) {
    const PortSettings settings = settingsOf({u"COM1", u"100ms", u"records", u"0x40", u"010", u""});
    EXPECT_EQ(numericSetting(settings, 1), 100);
    EXPECT_EQ(numericSetting(settings, 2), 0);
    EXPECT_EQ(numericSetting(settings, 3), 64);
    EXPECT_EQ(numericSetting(settings, 4), 8);
    EXPECT_EQ(numericSetting(settings, 5), 0);
    EXPECT_EQ(numericSetting(settings, 6), 0);  // missing row
}

TEST(SettingAccessors, EachReadsItsOwnRow) {
    // Setting k holds a text that tells k apart; setting 0 names a serial port.
    std::vector<std::u16string> values{u"COM3"};
    for (int k = 1; k <= 16; ++k) {
        values.push_back(asciiWide(std::to_string(100 + k)));
    }
    const PortSettings settings = settingsOf(values);

    struct TextCase {
        std::u16string (*accessor)(const PortSettings&);
        std::size_t k;
    };
    const TextCase textCases[] = {
        {portName, 0},      {parity, 10},  {stopBits, 11},   {dataBits, 12},  {flowControl, 13},
        {hdlcEncoding, 10}, {hdlcCrc, 11}, {hdlcDuplex, 12}, {hdlcIdle, 13}, {hdlcInterface, 14},
    };
    for (const TextCase& c : textCases) {
        EXPECT_EQ(c.accessor(settings), values[c.k]) << "k " << c.k;
    }

    struct NumberCase {
        std::int32_t (*accessor)(const PortSettings&);
        std::int32_t expected;
    };
    const NumberCase numberCases[] = {
        {recordCapacity, 101}, {maxRecordLength, 102},  {preTriggerCount, 103}, {postTriggerCount, 104},
        {baudRate, 109},       {characterTimeout, 114}, {hdlcParameter, 115},
    };
    for (const NumberCase& c : numberCases) {
        EXPECT_EQ(c.accessor(settings), c.expected);
    }
}

TEST(PortKind, ComComesFirstThenHdlcPrefixThenLocalEndpoint) {
    struct Case {
        std::u16string name;
        bool localEndpointValid;
        PortKind kind;
        std::int32_t baud;  // setting 9 holds 9600
    };
    const Case cases[] = {
        {u"COM3", false, PortKind::Serial, 9600},
        {u"\\\\.\\COM12", false, PortKind::Serial, 9600},
        {u"FBIHDLC0", false, PortKind::HdlcBoard, 9600},
        {u"FBIHDLC1COM", false, PortKind::Serial, 9600},
        {u"MYCOM:5000", true, PortKind::Serial, 9600},
        {u"127.0.0.1:5000", true, PortKind::Udp, 0},
        {u":5000", true, PortKind::Udp, 0},
        {u"com3", false, PortKind::None, 0},
        {u"fbihdlc0", false, PortKind::None, 0},
        {u"xFBIHDLC0", false, PortKind::None, 0},
        {u" FBIHDLC0", false, PortKind::None, 0},
        {u"", false, PortKind::None, 0},
    };
    for (const Case& c : cases) {
        PortSettings settings = settingsOf({c.name, u"", u"", u"", u"", u"", u"", u"", u"", u"9600"});
        settings.localEndpointValid = c.localEndpointValid;
        const std::string shown = asciiNarrow(c.name);
        EXPECT_EQ(portKind(settings), c.kind) << shown;
        EXPECT_EQ(isUsable(settings), c.kind != PortKind::None) << shown;
        EXPECT_EQ(baudRate(settings), c.baud) << shown;
    }
}

}  // namespace
}  // namespace orvalix
