#include "core/ports/setting_keywords.hpp"

#include <algorithm>
#include <array>

#include "core/project/port_settings_access.hpp"

namespace orvalix {
namespace {

constexpr std::array kParity{KeywordChoice{u"None", 2}, KeywordChoice{u"Odd", 1}};
constexpr std::array kStopBits{KeywordChoice{u"1.5", 1}, KeywordChoice{u"2", 2}};
constexpr std::array kDataBits{KeywordChoice{u"7", 1}};
constexpr std::array kFlowControl{KeywordChoice{u"RTS/CTS", 2}};

constexpr std::array kSerialSettings{
    KeywordSetting{10, "parity", kParity, 0, "even parity", u"Even"},
    KeywordSetting{11, "stop bits", kStopBits, 0, "one stop bit", u"1"},
    KeywordSetting{12, "data bits", kDataBits, 0, "8 data bits", u"8"},
    KeywordSetting{13, "flow control", kFlowControl, 0, "no flow control", u"None"},
};

constexpr std::array kEncoding{KeywordChoice{u"NRZ", static_cast<int>(HdlcEncoding::Nrz)},
                               KeywordChoice{u"NRZI", static_cast<int>(HdlcEncoding::Nrzi)}};
constexpr std::array kFrameCheck{
    KeywordChoice{u"ITU-T(旧CCITT)16bit", static_cast<int>(HdlcFrameCheck::Crc16)},
    KeywordChoice{u"ITU-T(旧CCITT)32bit", static_cast<int>(HdlcFrameCheck::Crc32)}};
constexpr std::array kDuplex{KeywordChoice{u"半二重", static_cast<int>(HdlcDuplex::Half)},
                             KeywordChoice{u"全二重", static_cast<int>(HdlcDuplex::Full)}};
constexpr std::array kIdle{KeywordChoice{u"マーク", static_cast<int>(HdlcIdle::Mark)},
                           KeywordChoice{u"フラグ", static_cast<int>(HdlcIdle::Flag)}};
constexpr std::array kInterface{KeywordChoice{u"RS-232C", static_cast<int>(HdlcInterface::Rs232c)},
                                KeywordChoice{u"RS-485", static_cast<int>(HdlcInterface::Rs485)}};

constexpr std::array kHdlcSettings{
    KeywordSetting{10, "bit encoding", kEncoding, static_cast<int>(HdlcEncoding::Nrzi), "NRZI encoding", u"NRZI"},
    KeywordSetting{11, "frame check", kFrameCheck, static_cast<int>(HdlcFrameCheck::Crc16),
                   "16-bit frame check", u"ITU-T(旧CCITT)16bit"},
    KeywordSetting{12, "duplex", kDuplex, static_cast<int>(HdlcDuplex::Full), "full duplex", u"全二重"},
    KeywordSetting{13, "idle line", kIdle, static_cast<int>(HdlcIdle::Flag), "flag idle", u"フラグ"},
    KeywordSetting{14, "line interface", kInterface, static_cast<int>(HdlcInterface::Rs232c),
                   "RS-232C line", u"RS-232C"},
};

const KeywordChoice* findChoice(const KeywordSetting& keywordSetting, std::u16string_view text) {
    const auto found = std::find_if(keywordSetting.choices.begin(), keywordSetting.choices.end(),
                                    [text](const KeywordChoice& choice) { return choice.text == text; });
    return found == keywordSetting.choices.end() ? nullptr : &*found;
}

template <typename Enum>
Enum codeOf(std::span<const KeywordSetting> table, std::size_t position, const PortSettings& settings) {
    const KeywordSetting& keywordSetting = table[position];
    return static_cast<Enum>(keywordCode(keywordSetting, setting(settings, keywordSetting.index)));
}

}  // namespace

std::span<const KeywordSetting> serialKeywordSettings() { return kSerialSettings; }
std::span<const KeywordSetting> hdlcKeywordSettings() { return kHdlcSettings; }

int keywordCode(const KeywordSetting& keywordSetting, std::u16string_view text) {
    const KeywordChoice* choice = findChoice(keywordSetting, text);
    return choice != nullptr ? choice->code : keywordSetting.defaultCode;
}

bool isKeyword(const KeywordSetting& keywordSetting, std::u16string_view text) {
    return findChoice(keywordSetting, text) != nullptr;
}

SerialParity serialParity(const PortSettings& s) { return codeOf<SerialParity>(kSerialSettings, 0, s); }
SerialStopBits serialStopBits(const PortSettings& s) { return codeOf<SerialStopBits>(kSerialSettings, 1, s); }
SerialDataBits serialDataBits(const PortSettings& s) { return codeOf<SerialDataBits>(kSerialSettings, 2, s); }
SerialFlowControl serialFlowControl(const PortSettings& s) {
    return codeOf<SerialFlowControl>(kSerialSettings, 3, s);
}

HdlcEncoding hdlcEncodingSetting(const PortSettings& s) { return codeOf<HdlcEncoding>(kHdlcSettings, 0, s); }
HdlcFrameCheck hdlcFrameCheckSetting(const PortSettings& s) {
    return codeOf<HdlcFrameCheck>(kHdlcSettings, 1, s);
}
HdlcDuplex hdlcDuplexSetting(const PortSettings& s) { return codeOf<HdlcDuplex>(kHdlcSettings, 2, s); }
HdlcIdle hdlcIdleSetting(const PortSettings& s) { return codeOf<HdlcIdle>(kHdlcSettings, 3, s); }
HdlcInterface hdlcInterfaceSetting(const PortSettings& s) {
    return codeOf<HdlcInterface>(kHdlcSettings, 4, s);
}

}  // namespace orvalix
