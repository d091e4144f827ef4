#include "core/project/port_settings_access.hpp"

#include "core/project/record_access.hpp"

namespace orvalix {
namespace {

constexpr std::size_t kValueColumn = 2;
constexpr std::u16string_view kSerialMark = u"COM";
constexpr std::u16string_view kHdlcPrefix = u"FBIHDLC";

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
