#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/project/project.hpp"

namespace orvalix {

// Setting k: column 2 of table row k + 1 (row 0 is the header); empty when missing.
std::u16string setting(const PortSettings& settings, int k);

// strtol-like reading with base 0: optional white space and sign, then 0x hex, 0 octal or
// decimal digits; stops at the first character that does not fit; no digit gives 0 and
// digitsRead false; saturates to the 32-bit range. As with strtol, "0x" without a hex digit
// reads as the digit 0.
struct NumberReading {
    std::int32_t value = 0;
    bool digitsRead = false;
    std::size_t end = 0;  // where the reading stopped, as strtol's end pointer; 0 without a digit
};
NumberReading readInteger(std::u16string_view text);

// Setting k read as a number; 0 when it is missing or holds no digit.
std::int32_t numericSetting(const PortSettings& settings, int k);

enum class PortKind { Serial, HdlcBoard, Udp, Tcp, None };

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
