#pragma once

// The rows of an environment file: which setting each holds, how its text reads and what a
// text that reads as nothing selects. The loader reads them into PortOptions and check walks
// them to tell what the loader made of a text; no one else knows a row number.

#include <array>
#include <span>
#include <string_view>

#include "core/ports/port_options.hpp"
#include "core/text/csv_reader.hpp"

namespace orvalix {

// Setting k: column 2 of table row k + 1 (row 0 is the header); empty when missing.
std::u16string_view settingText(const CsvTable& rows, int k);

// A setting read with readInteger: a text without a digit reads as 0.
struct NumericSetting {
    int index;               // setting k
    std::string_view title;  // what the setting is, for messages
};

// One allowed keyword of a setting and the code it selects.
struct KeywordChoice {
    std::u16string_view text;
    int code;
};

// A keyword setting: whole-cell, case-sensitive match; anything else selects the default.
struct KeywordSetting {
    int index;  // setting k
    std::string_view title;
    std::span<const KeywordChoice> choices;
    int defaultCode;
    std::string_view defaultMeaning;
    // The default's own name. Where it is no keyword it selects the default as any unknown text
    // does, but whoever writes it means just that, so check does not call it unknown.
    std::u16string_view defaultSpelling;
};

// The code the text selects; the setting's default when no keyword matches.
int keywordCode(const KeywordSetting& keywordSetting, std::u16string_view text);
// Whether the text is one of the setting's keywords.
bool isKeyword(const KeywordSetting& keywordSetting, std::u16string_view text);

template <typename Enum>
constexpr int codeOf(Enum value) {
    return static_cast<int>(value);
}

namespace setting_choices {

inline constexpr std::array kParity{KeywordChoice{u"None", codeOf(SerialParity::None)},
                                    KeywordChoice{u"Odd", codeOf(SerialParity::Odd)}};
inline constexpr std::array kStopBits{KeywordChoice{u"1.5", codeOf(SerialStopBits::OneAndHalf)},
                                      KeywordChoice{u"2", codeOf(SerialStopBits::Two)}};
inline constexpr std::array kDataBits{KeywordChoice{u"7", codeOf(SerialDataBits::Seven)}};
inline constexpr std::array kFlowControl{KeywordChoice{u"RTS/CTS", codeOf(SerialFlowControl::RtsCts)}};

inline constexpr std::array kEncoding{KeywordChoice{u"NRZ", codeOf(HdlcEncoding::Nrz)},
                                      KeywordChoice{u"NRZI", codeOf(HdlcEncoding::Nrzi)}};
inline constexpr std::array kFrameCheck{KeywordChoice{u"ITU-T(旧CCITT)16bit", codeOf(HdlcFrameCheck::Crc16)},
                                        KeywordChoice{u"ITU-T(旧CCITT)32bit", codeOf(HdlcFrameCheck::Crc32)}};
inline constexpr std::array kDuplex{KeywordChoice{u"半二重", codeOf(HdlcDuplex::Half)},
                                    KeywordChoice{u"全二重", codeOf(HdlcDuplex::Full)}};
inline constexpr std::array kIdle{KeywordChoice{u"マーク", codeOf(HdlcIdle::Mark)},
                                  KeywordChoice{u"フラグ", codeOf(HdlcIdle::Flag)}};
inline constexpr std::array kInterface{KeywordChoice{u"RS-232C", codeOf(HdlcInterface::Rs232c)},
                                       KeywordChoice{u"RS-485", codeOf(HdlcInterface::Rs485)}};

}  // namespace setting_choices

// Every port: the name (0) decides the kind; 1 to 4 size the traffic history and the trigger
// log files; 5 to 8 are not read.
inline constexpr int kPortNameSetting = 0;
inline constexpr NumericSetting kRecordCapacitySetting{1, "number of traffic records"};
inline constexpr NumericSetting kMaxRecordLengthSetting{2, "largest record length"};
inline constexpr NumericSetting kPreTriggerSetting{3, "records before a trigger"};
inline constexpr NumericSetting kPostTriggerSetting{4, "records after a trigger"};

// A serial line.
inline constexpr NumericSetting kSerialBitRateSetting{9, "bit rate"};
inline constexpr KeywordSetting kParitySetting{
    10, "parity", setting_choices::kParity, codeOf(SerialParity::Even), "even parity", u"Even"};
inline constexpr KeywordSetting kStopBitsSetting{
    11, "stop bits", setting_choices::kStopBits, codeOf(SerialStopBits::One), "one stop bit", u"1"};
inline constexpr KeywordSetting kDataBitsSetting{
    12, "data bits", setting_choices::kDataBits, codeOf(SerialDataBits::Eight), "8 data bits", u"8"};
inline constexpr KeywordSetting kFlowControlSetting{
    13, "flow control", setting_choices::kFlowControl, codeOf(SerialFlowControl::None),
    "no flow control", u"None"};
inline constexpr NumericSetting kCharacterTimeoutSetting{14, "character time-out"};

// An HDLC board channel.
inline constexpr NumericSetting kHdlcBitRateSetting{9, "bit rate"};
inline constexpr KeywordSetting kEncodingSetting{
    10, "bit encoding", setting_choices::kEncoding, codeOf(HdlcEncoding::Nrzi), "NRZI encoding", u"NRZI"};
inline constexpr KeywordSetting kFrameCheckSetting{
    11, "frame check", setting_choices::kFrameCheck, codeOf(HdlcFrameCheck::Crc16), "16-bit frame check",
    u"ITU-T(旧CCITT)16bit"};
inline constexpr KeywordSetting kDuplexSetting{
    12, "duplex", setting_choices::kDuplex, codeOf(HdlcDuplex::Full), "full duplex", u"全二重"};
inline constexpr KeywordSetting kIdleSetting{
    13, "idle line", setting_choices::kIdle, codeOf(HdlcIdle::Flag), "flag idle", u"フラグ"};
inline constexpr KeywordSetting kInterfaceSetting{
    14, "line interface", setting_choices::kInterface, codeOf(HdlcInterface::Rs232c), "RS-232C line",
    u"RS-232C"};
inline constexpr NumericSetting kBoardParameterSetting{15, "board parameter"};

// A UDP port: the name is the local endpoint, setting 9 the remote one.
inline constexpr int kRemoteEndpointSetting = 9;

// The settings of each kind as check walks them, in setting order.
struct KindSettings {
    std::span<const NumericSetting> numbers;
    std::span<const KeywordSetting> keywords;
};
std::span<const NumericSetting> commonNumericSettings();  // 1 to 4, of every usable port
KindSettings serialSettings();
KindSettings hdlcSettings();

}  // namespace orvalix
