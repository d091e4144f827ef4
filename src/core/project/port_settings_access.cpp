#include "core/project/port_settings_access.hpp"

#include <algorithm>
#include <limits>

#include "core/project/record_access.hpp"

namespace orvalix {
namespace {

constexpr std::size_t kValueColumn = 2;
constexpr std::u16string_view kSerialMark = u"COM";
constexpr std::u16string_view kHdlcPrefix = u"FBIHDLC";

// The white space that strtol skips in the "C" locale.
bool isNumberSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

// Value of an ASCII digit or letter in bases up to 36; 36 for anything else.
unsigned digitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return static_cast<unsigned>(c - u'0');
    }
    if (c >= u'a' && c <= u'z') {
        return static_cast<unsigned>(c - u'a') + 10;
    }
    if (c >= u'A' && c <= u'Z') {
        return static_cast<unsigned>(c - u'A') + 10;
    }
    return 36;
}

std::int32_t clampToInt32(std::uint64_t magnitude, bool negative) {
    constexpr auto kMaxMagnitude = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    if (negative) {
        if (magnitude > kMaxMagnitude) {
            return std::numeric_limits<std::int32_t>::min();
        }
        return -static_cast<std::int32_t>(magnitude);
    }
    return static_cast<std::int32_t>(std::min(magnitude, kMaxMagnitude));
}

bool hasSerialName(const PortSettings& settings) {
    return portName(settings).find(kSerialMark) != std::u16string::npos;
}

bool hasHdlcName(const PortSettings& settings) { return portName(settings).starts_with(kHdlcPrefix); }

}  // namespace

std::u16string setting(const PortSettings& settings, int k) {
    if (k < 0) {
        return {};
    }
    const auto row = static_cast<std::size_t>(k) + 1;
    if (row >= settings.table.size()) {
        return {};
    }
    return cell(settings.table[row], kValueColumn);
}

NumberReading readInteger(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isNumberSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }

    NumberReading reading;
    unsigned base = 10;
    if (i < text.size() && text[i] == u'0') {
        // The zero counts as a digit even when an x follows it, so "0x" alone reads as 0.
        reading.digitsRead = true;
        ++i;
        base = 8;
        if (i < text.size() && (text[i] == u'x' || text[i] == u'X')) {
            base = 16;
            ++i;
        }
    }

    // Held just past the 32-bit range so that saturation needs no overflow check.
    constexpr std::uint64_t kMagnitudeCap = std::uint64_t{1} << 32;
    std::uint64_t magnitude = 0;
    const std::size_t firstDigit = i;
    for (; i < text.size(); ++i) {
        const unsigned digit = digitValue(text[i]);
        if (digit >= base) {
            break;
        }
        reading.digitsRead = true;
        magnitude = std::min(magnitude * base + digit, kMagnitudeCap);
    }
    reading.value = clampToInt32(magnitude, negative);
    if (reading.digitsRead) {
        // A "0x" that no hex digit follows ends after its 0.
        reading.end = base == 16 && i == firstDigit ? firstDigit - 1 : i;
    }
    return reading;
}

std::int32_t numericSetting(const PortSettings& settings, int k) { return readInteger(setting(settings, k)).value; }

PortKind portKind(const PortSettings& settings) {
    if (hasSerialName(settings)) {
        return PortKind::Serial;
    }
    if (hasHdlcName(settings)) {
        return PortKind::HdlcBoard;
    }
    if (settings.localEndpointValid) {
        return PortKind::Udp;
    }
    return PortKind::None;
}

bool isUsable(const PortSettings& settings) { return portKind(settings) != PortKind::None; }

std::u16string portName(const PortSettings& settings) { return setting(settings, 0); }
std::int32_t recordCapacity(const PortSettings& settings) { return numericSetting(settings, 1); }
std::int32_t maxRecordLength(const PortSettings& settings) { return numericSetting(settings, 2); }
std::int32_t preTriggerCount(const PortSettings& settings) { return numericSetting(settings, 3); }
std::int32_t postTriggerCount(const PortSettings& settings) { return numericSetting(settings, 4); }

std::int32_t baudRate(const PortSettings& settings) {
    // Setting 9 of a UDP port is its remote endpoint, not a rate.
    if (!hasSerialName(settings) && !hasHdlcName(settings)) {
        return 0;
    }
    return numericSetting(settings, 9);
}

std::u16string parity(const PortSettings& settings) { return setting(settings, 10); }
std::u16string stopBits(const PortSettings& settings) { return setting(settings, 11); }
std::u16string dataBits(const PortSettings& settings) { return setting(settings, 12); }
std::u16string flowControl(const PortSettings& settings) { return setting(settings, 13); }
std::int32_t characterTimeout(const PortSettings& settings) { return numericSetting(settings, 14); }
std::u16string hdlcEncoding(const PortSettings& settings) { return setting(settings, 10); }
std::u16string hdlcCrc(const PortSettings& settings) { return setting(settings, 11); }
std::u16string hdlcDuplex(const PortSettings& settings) { return setting(settings, 12); }
std::u16string hdlcIdle(const PortSettings& settings) { return setting(settings, 13); }
std::u16string hdlcInterface(const PortSettings& settings) { return setting(settings, 14); }
std::int32_t hdlcParameter(const PortSettings& settings) { return numericSetting(settings, 15); }

}  // namespace orvalix
