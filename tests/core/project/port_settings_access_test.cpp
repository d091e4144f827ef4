#include "core/project/port_settings_access.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "../ports/port_test_support.hpp"
#include "core/project/record_access.hpp"

namespace orvalix {
namespace {

using test::settingsOf;

TEST(RecordAccessors, ReadTheirColumnUntrimmedAndMissingColumnsAsEmpty) {
    SequenceStep step;
    step.cells = {u" S ", u"1", u" F ", u"\t0", u" T"};
    NamedCondition condition;
    condition.cells = {u" Ack ", u"1", u"mark", u"trigger"};
    EXPECT_EQ((std::vector{label(step), frameName(step), jumpConditionText(step), jumpTarget(step),
                           name(condition), markConditionText(condition), triggerConditionText(condition)}),
              (std::vector<std::u16string>{u" S ", u" F ", u"\t0", u" T", u" Ack ", u"mark", u"trigger"}));
    step.cells = {u" S ", u"1", u" F "};
    condition.cells = {u" Ack ", u"1"};
    EXPECT_EQ(jumpConditionText(step) + jumpTarget(step), u"");
    EXPECT_EQ(markConditionText(condition) + triggerConditionText(condition), u"");
}

TEST(Setting, ReadsColumnTwoOfTheRowAfterTheHeader) {
    PortSettings settings = settingsOf({u"COM3", u" 100 "});
    settings.table.push_back({u"short", u"row"});
    // The header is no setting; values are not trimmed; a short row or none reads as empty.
    const std::pair<int, std::u16string> cases[] = {
        {-1, u""}, {0, u"COM3"}, {1, u" 100 "}, {2, u""}, {3, u""}};
    for (const auto& [k, expected] : cases) {
        EXPECT_EQ(setting(settings, k), expected) << "k " << k;
    }
}

TEST(SettingAccessors, EachReadsItsOwnRow) {
    // Setting k holds 100 + k, followed by letters that a number reading stops at.
    std::vector<std::u16string> values{u"COM3"};
    for (int k = 1; k <= 16; ++k) {
        const std::string number = std::to_string(100 + k) + "x";
        values.emplace_back(number.begin(), number.end());
    }
    const PortSettings settings = settingsOf(values);
    using Text = std::u16string (*)(const PortSettings&);
    const std::pair<Text, std::size_t> texts[] = {
        {portName, 0},      {parity, 10},  {stopBits, 11},   {dataBits, 12}, {flowControl, 13},
        {hdlcEncoding, 10}, {hdlcCrc, 11}, {hdlcDuplex, 12}, {hdlcIdle, 13}, {hdlcInterface, 14},
    };
    for (const auto& [accessor, k] : texts) {
        EXPECT_EQ(accessor(settings), values[k]) << "k " << k;
    }
    using Number = std::int32_t (*)(const PortSettings&);
    const std::pair<Number, std::int32_t> numbers[] = {
        {recordCapacity, 101}, {maxRecordLength, 102},  {preTriggerCount, 103}, {postTriggerCount, 104},
        {baudRate, 109},       {characterTimeout, 114}, {hdlcParameter, 115},
    };
    for (const auto& [accessor, expected] : numbers) {
        EXPECT_EQ(accessor(settings), expected);
        EXPECT_EQ(accessor(settingsOf({u"COM3"})), 0);  // a missing row reads as 0
    }
}

TEST(PortKind, ComComesFirstThenHdlcPrefixThenLocalEndpoint) {
    const std::tuple<std::u16string, bool, PortKind> cases[] = {
        {u"COM3", false, PortKind::Serial},        {u"\\\\.\\COM12", false, PortKind::Serial},
        {u"FBIHDLC0", false, PortKind::HdlcBoard}, {u"FBIHDLC1COM", false, PortKind::Serial},
        {u"MYCOM:5000", true, PortKind::Serial},   {u"127.0.0.1:5000", true, PortKind::Udp},
        {u":5000", true, PortKind::Udp},           {u"com3", false, PortKind::None},
        {u"fbihdlc0", false, PortKind::None},      {u"xFBIHDLC0", false, PortKind::None},
        {u" FBIHDLC0", false, PortKind::None},     {u"", false, PortKind::None},
    };
    for (const auto& [portName, localEndpointValid, kind] : cases) {
        SCOPED_TRACE(testing::PrintToString(portName));
        PortSettings settings = settingsOf({portName, u"", u"", u"", u"", u"", u"", u"", u"", u"9600"});
        settings.localEndpointValid = localEndpointValid;
        EXPECT_EQ(portKind(settings), kind);
        EXPECT_EQ(isUsable(settings), kind != PortKind::None);
        // Only serial and HDLC ports have a baud rate.
        EXPECT_EQ(baudRate(settings), kind == PortKind::Serial || kind == PortKind::HdlcBoard ? 9600 : 0);
    }
}

}  // namespace
}  // namespace orvalix
