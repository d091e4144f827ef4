#include "core/ports/setting_keywords.hpp"

#include "core/project/port_settings_access.hpp"

namespace orvalix {
namespace {

template <typename Enum>
Enum selected(const KeywordSetting& keywordSetting, const PortSettings& settings) {
    return static_cast<Enum>(keywordCode(keywordSetting, setting(settings, keywordSetting.index)));
}

}  // namespace

std::span<const KeywordSetting> serialKeywordSettings() { return serialSettings().keywords; }
std::span<const KeywordSetting> hdlcKeywordSettings() { return hdlcSettings().keywords; }

SerialParity serialParity(const PortSettings& s) { return selected<SerialParity>(kParitySetting, s); }
SerialStopBits serialStopBits(const PortSettings& s) { return selected<SerialStopBits>(kStopBitsSetting, s); }
SerialDataBits serialDataBits(const PortSettings& s) { return selected<SerialDataBits>(kDataBitsSetting, s); }
SerialFlowControl serialFlowControl(const PortSettings& s) {
    return selected<SerialFlowControl>(kFlowControlSetting, s);
}

HdlcEncoding hdlcEncodingSetting(const PortSettings& s) { return selected<HdlcEncoding>(kEncodingSetting, s); }
HdlcFrameCheck hdlcFrameCheckSetting(const PortSettings& s) {
    return selected<HdlcFrameCheck>(kFrameCheckSetting, s);
}
HdlcDuplex hdlcDuplexSetting(const PortSettings& s) { return selected<HdlcDuplex>(kDuplexSetting, s); }
HdlcIdle hdlcIdleSetting(const PortSettings& s) { return selected<HdlcIdle>(kIdleSetting, s); }
HdlcInterface hdlcInterfaceSetting(const PortSettings& s) {
    return selected<HdlcInterface>(kInterfaceSetting, s);
}

}  // namespace orvalix
