#pragma once

#include <span>

#include "core/ports/port_setting_table.hpp"
#include "core/project/project.hpp"

namespace orvalix {

// The keyword settings of each port kind, in setting order.
std::span<const KeywordSetting> serialKeywordSettings();
std::span<const KeywordSetting> hdlcKeywordSettings();

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
