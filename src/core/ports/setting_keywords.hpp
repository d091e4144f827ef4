#pragma once

#include <span>
#include <string_view>

#include "core/project/project.hpp"

namespace orvalix {

enum class SerialParity { Even = 0, Odd = 1, None = 2 };
enum class SerialStopBits { One = 0, OneAndHalf = 1, Two = 2 };
enum class SerialDataBits { Eight = 0, Seven = 1 };
enum class SerialFlowControl { None = 0, RtsCts = 2 };

enum class HdlcEncoding { Nrzi, Nrz };
enum class HdlcFrameCheck { Crc16, Crc32 };
enum class HdlcDuplex { Full, Half };
enum class HdlcIdle { Flag, Mark };
enum class HdlcInterface { Rs232c, Rs485 };

// One allowed keyword of a setting and the code it selects.
struct KeywordChoice {
    std::u16string_view text;
    int code;
};

// A keyword setting: whole-cell, case-sensitive match; anything else selects the default.
struct KeywordSetting {
    int index;                    // setting k
    std::string_view title;       // what the setting is, for messages
    std::span<const KeywordChoice> choices;
    int defaultCode;
    std::string_view defaultMeaning;
    // The default's own name. Where it is no keyword it selects the default as any unknown text
    // does, but whoever writes it means just that, so check does not call it unknown.
    std::u16string_view defaultSpelling;
};

// The keyword settings of each port kind, in setting order.
std::span<const KeywordSetting> serialKeywordSettings();
std::span<const KeywordSetting> hdlcKeywordSettings();

// The code the text selects; the setting's default when no keyword matches.
int keywordCode(const KeywordSetting& keywordSetting, std::u16string_view text);
// Whether the text is one of the setting's keywords.
bool isKeyword(const KeywordSetting& keywordSetting, std::u16string_view text);

SerialParity serialParity(const PortSettings& settings);
SerialStopBits serialStopBits(const PortSettings& settings);
SerialDataBits serialDataBits(const PortSettings& settings);
SerialFlowControl serialFlowControl(const PortSettings& settings);

HdlcEncoding hdlcEncodingSetting(const PortSettings& settings);
HdlcFrameCheck hdlcFrameCheckSetting(const PortSettings& settings);
HdlcDuplex hdlcDuplexSetting(const PortSettings& settings);
HdlcIdle hdlcIdleSetting(const PortSettings& settings);
HdlcInterface hdlcInterfaceSetting(const PortSettings& settings);

}  // namespace orvalix
