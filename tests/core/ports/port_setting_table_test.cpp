#include "core/ports/port_setting_table.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/text/text_conversion.hpp"
#include "port_test_support.hpp"

namespace orvalix {
namespace {

std::u16string swapAsciiCase(std::u16string text) {
    for (char16_t& c : text) {
        if ((c | 0x20) >= u'a' && (c | 0x20) <= u'z') c = static_cast<char16_t>(c ^ 0x20);
    }
    return text;
}

TEST(SettingText, ReadsColumnTwoOfTheRowAfterTheHeader) {
    CsvTable rows = test::settingRows({u"COM3", u" 100 "});
    rows.push_back({u"short", u"row"});
    // The header is no setting; values are not trimmed; a short row or none reads as empty.
    const std::pair<int, std::u16string> cases[] = {{-1, u""}, {0, u"COM3"}, {1, u" 100 "}, {2, u""}, {3, u""}};
    for (const auto& [k, expected] : cases) {
        EXPECT_EQ(settingText(rows, k), expected) << "k " << k;
    }
}

// Each keyword setting written out independently: its row, every keyword with what it
// selects, and the default with its spelling.
struct KeywordTable {
    const KeywordSetting& setting;
    int row;
    std::vector<std::pair<std::u16string, int>> keywords;
    int defaultCode;
    std::u16string defaultSpelling;
};

// clang-format off
const KeywordTable kKeywordTables[] = {
    {kParitySetting, 10, {{u"None", codeOf(SerialParity::None)}, {u"Odd", codeOf(SerialParity::Odd)}},
     codeOf(SerialParity::Even), u"Even"},
    {kStopBitsSetting, 11, {{u"1.5", codeOf(SerialStopBits::OneAndHalf)}, {u"2", codeOf(SerialStopBits::Two)}},
     codeOf(SerialStopBits::One), u"1"},
    {kDataBitsSetting, 12, {{u"7", codeOf(SerialDataBits::Seven)}}, codeOf(SerialDataBits::Eight), u"8"},
    {kFlowControlSetting, 13, {{u"RTS/CTS", codeOf(SerialFlowControl::RtsCts)}}, codeOf(SerialFlowControl::None),
     u"None"},
    {kEncodingSetting, 10, {{u"NRZ", codeOf(HdlcEncoding::Nrz)}, {u"NRZI", codeOf(HdlcEncoding::Nrzi)}},
     codeOf(HdlcEncoding::Nrzi), u"NRZI"},
    {kFrameCheckSetting, 11, {{u"ITU-T(旧CCITT)16bit", codeOf(HdlcFrameCheck::Crc16)},
                              {u"ITU-T(旧CCITT)32bit", codeOf(HdlcFrameCheck::Crc32)}},
     codeOf(HdlcFrameCheck::Crc16), u"ITU-T(旧CCITT)16bit"},
    {kDuplexSetting, 12, {{u"半二重", codeOf(HdlcDuplex::Half)}, {u"全二重", codeOf(HdlcDuplex::Full)}},
     codeOf(HdlcDuplex::Full), u"全二重"},
    {kIdleSetting, 13, {{u"マーク", codeOf(HdlcIdle::Mark)}, {u"フラグ", codeOf(HdlcIdle::Flag)}},
     codeOf(HdlcIdle::Flag), u"フラグ"},
    {kInterfaceSetting, 14, {{u"RS-232C", codeOf(HdlcInterface::Rs232c)}, {u"RS-485", codeOf(HdlcInterface::Rs485)}},
     codeOf(HdlcInterface::Rs232c), u"RS-232C"},
};
// clang-format on

TEST(PortSettingTable, EveryKeywordSelectsItsCodeAndEveryOtherTextTheDefault) {
    for (const KeywordTable& table : kKeywordTables) {
        const KeywordSetting& setting = table.setting;
        SCOPED_TRACE(std::string(setting.title));
        EXPECT_EQ(setting.index, table.row);
        EXPECT_EQ(setting.choices.size(), table.keywords.size()) << "a keyword the table does not list";
        for (const auto& [text, code] : table.keywords) {
            EXPECT_TRUE(isKeyword(setting, text)) << toNarrow(text);
            EXPECT_EQ(keywordCode(setting, text), code) << toNarrow(text);
            // Whole cell, case-sensitive: a keyword with a blank or in other letters is none.
            for (const std::u16string& near : {text + u" ", u" " + text, swapAsciiCase(text)}) {
                if (near != text) {
                    EXPECT_FALSE(isKeyword(setting, near)) << toNarrow(near);
                    EXPECT_EQ(keywordCode(setting, near), table.defaultCode) << toNarrow(near);
                }
            }
        }
        for (const std::u16string& other : {std::u16string(), std::u16string(u"?")}) {
            EXPECT_EQ(keywordCode(setting, other), table.defaultCode);
        }
        EXPECT_EQ(setting.defaultCode, table.defaultCode);
        EXPECT_EQ(setting.defaultSpelling, table.defaultSpelling);
        EXPECT_EQ(keywordCode(setting, setting.defaultSpelling), table.defaultCode) << "the spelling selects it";
    }
}

TEST(PortSettingTable, EachKindListsItsSettingsInRowOrder) {
    const auto rowsOf = [](const KindSettings& kind) {
        std::vector<int> numbers, keywords;
        for (const NumericSetting& setting : kind.numbers) numbers.push_back(setting.index);
        for (const KeywordSetting& setting : kind.keywords) keywords.push_back(setting.index);
        return std::pair(numbers, keywords);
    };
    std::vector<int> common;
    for (const NumericSetting& setting : commonNumericSettings()) common.push_back(setting.index);
    EXPECT_EQ(common, (std::vector{1, 2, 3, 4}));
    EXPECT_EQ(rowsOf(serialSettings()), std::pair(std::vector{9, 14}, std::vector{10, 11, 12, 13}));
    EXPECT_EQ(rowsOf(hdlcSettings()), std::pair(std::vector{9, 15}, std::vector{10, 11, 12, 13, 14}));
}

}  // namespace
}  // namespace orvalix
