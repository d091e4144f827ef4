#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/ports/port_options.hpp"
#include "core/project/project.hpp"
#include "core/text/read_integer.hpp"

namespace orvalix {

// Setting k: column 2 of table row k + 1 (row 0 is the header); empty when missing.
std::u16string setting(const PortSettings& settings, int k);

// Setting k read as a number; 0 when it is missing or holds no digit.
std::int32_t numericSetting(const PortSettings& settings, int k);

PortKind portKind(const PortSettings& settings);
bool isUsable(const PortSettings& settings);

std::u16string portName(const PortSettings& settings);        // 0
std::int32_t recordCapacity(const PortSettings& settings);    // 1
std::int32_t maxRecordLength(const PortSettings& settings);   // 2
std::int32_t preTriggerCount(const PortSettings& settings);   // 3
std::int32_t postTriggerCount(const PortSettings& settings);  // 4
// 0 unless the port is serial or HDLC by name.
std::int32_t baudRate(const PortSettings& settings);          // 9
std::u16string parity(const PortSettings& settings);          // 10
std::u16string stopBits(const PortSettings& settings);        // 11
std::u16string dataBits(const PortSettings& settings);        // 12
std::u16string flowControl(const PortSettings& settings);     // 13
std::int32_t characterTimeout(const PortSettings& settings);  // 14
std::u16string hdlcEncoding(const PortSettings& settings);    // 10
std::u16string hdlcCrc(const PortSettings& settings);         // 11
std::u16string hdlcDuplex(const PortSettings& settings);      // 12
std::u16string hdlcIdle(const PortSettings& settings);        // 13
std::u16string hdlcInterface(const PortSettings& settings);   // 14
std::int32_t hdlcParameter(const PortSettings& settings);     // 15

}  // namespace orvalix
