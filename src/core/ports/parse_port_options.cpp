#include "core/ports/parse_port_options.hpp"

#include <optional>
#include <string>
#include <string_view>

#include "core/platform/device_files.hpp"
#include "core/ports/port_setting_table.hpp"
#include "core/text/read_integer.hpp"

namespace orvalix {
namespace {

constexpr std::u16string_view kSerialMark = u"COM";
constexpr std::u16string_view kHdlcPrefix = u"FBIHDLC";
constexpr std::u16string_view kTcpServerScheme = u"tcp-server://";
constexpr std::u16string_view kTcpClientScheme = u"tcp-client://";

std::int32_t number(const CsvTable& rows, const NumericSetting& numericSetting) {
    return readInteger(settingText(rows, numericSetting.index)).value;
}

template <typename Enum>
Enum keyword(const CsvTable& rows, const KeywordSetting& keywordSetting) {
    return static_cast<Enum>(keywordCode(keywordSetting, settingText(rows, keywordSetting.index)));
}

std::optional<UdpEndpoint> endpoint(std::u16string_view text) {
    return parseUdpEndpoint(text);
}

SerialOptions serialOptions(const CsvTable& rows, std::u16string_view name) {
    SerialOptions serial;
    serial.device = platform::serialDevicePath(name);
    serial.bitRate = number(rows, kSerialBitRateSetting);
    serial.parity = keyword<SerialParity>(rows, kParitySetting);
    serial.stopBits = keyword<SerialStopBits>(rows, kStopBitsSetting);
    serial.dataBits = keyword<SerialDataBits>(rows, kDataBitsSetting);
    serial.flowControl = keyword<SerialFlowControl>(rows, kFlowControlSetting);
    serial.characterTimeoutMs = number(rows, kCharacterTimeoutSetting);
    return serial;
}

HdlcOptions hdlcOptions(const CsvTable& rows) {
    HdlcOptions hdlc;
    hdlc.bitRate = number(rows, kHdlcBitRateSetting);
    hdlc.encoding = keyword<HdlcEncoding>(rows, kEncodingSetting);
    hdlc.frameCheck = keyword<HdlcFrameCheck>(rows, kFrameCheckSetting);
    hdlc.duplex = keyword<HdlcDuplex>(rows, kDuplexSetting);
    hdlc.idle = keyword<HdlcIdle>(rows, kIdleSetting);
    hdlc.lineInterface = keyword<HdlcInterface>(rows, kInterfaceSetting);
    hdlc.boardParameter = number(rows, kBoardParameterSetting);
    return hdlc;
}

// A name written as a path to a device, or one that names a character device that is there.
bool namesSerialDevice(std::u16string_view name) {
    return platform::isDevicePath(name) ||
           platform::deviceNodeAt(platform::serialDevicePath(name)) == platform::DeviceNode::CharacterDevice;
}

// A TCP form that does not give an endpoint makes no port: no other rule may read it. A server
// without a host listens on every interface.
PortKindOptions tcpOptions(const CsvTable& rows, TcpRole role, std::u16string_view address) {
    std::optional<UdpEndpoint> parsed = endpoint(address);
    if (!parsed) {
        return NoPortOptions{};
    }
    if (role == TcpRole::Server && address.starts_with(u':')) {
        parsed->address = 0;
    }
    return TcpOptions{role, *parsed, number(rows, kCharacterTimeoutSetting)};
}

PortKindOptions kindOptions(const CsvTable& rows, std::u16string_view name) {
    // First, so that "tcp-client://MYCOM:502" is TCP and not a serial port.
    if (name.starts_with(kTcpServerScheme)) {
        return tcpOptions(rows, TcpRole::Server, name.substr(kTcpServerScheme.size()));
    }
    if (name.starts_with(kTcpClientScheme)) {
        return tcpOptions(rows, TcpRole::Client, name.substr(kTcpClientScheme.size()));
    }
    if (name.find(kSerialMark) != std::u16string_view::npos) {
        return serialOptions(rows, name);
    }
    if (name.starts_with(kHdlcPrefix)) {
        return hdlcOptions(rows);
    }
    if (const std::optional<UdpEndpoint> local = endpoint(name)) {
        const std::u16string_view remote = settingText(rows, kRemoteEndpointSetting);
        return UdpOptions{*local, endpoint(remote), std::u16string(remote)};
    }
    // Last, so that a name that made a port of another kind still does.
    if (namesSerialDevice(name)) {
        return serialOptions(rows, name);
    }
    return NoPortOptions{};
}

}  // namespace

PortOptions parsePortOptions(const CsvTable& rows) {
    PortOptions options;
    options.name = settingText(rows, kPortNameSetting);
    options.recordCapacity = number(rows, kRecordCapacitySetting);
    options.maxRecordLength = number(rows, kMaxRecordLengthSetting);
    options.preTriggerCount = number(rows, kPreTriggerSetting);
    options.postTriggerCount = number(rows, kPostTriggerSetting);
    options.kind = kindOptions(rows, options.name);
    return options;
}

}  // namespace orvalix
