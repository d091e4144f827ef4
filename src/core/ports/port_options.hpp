#pragma once

// What an environment's port is, as the loader reads it from the environment file once: the
// project model holds it, the ports open from it, and neither reads the file's rows again.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "core/ports/udp_endpoint.hpp"

namespace orvalix {

enum class PortKind { Serial, HdlcBoard, Udp, Tcp, None };

enum class TcpRole { Server, Client };

enum class SerialParity { Even = 0, Odd = 1, None = 2 };
enum class SerialStopBits { One = 0, OneAndHalf = 1, Two = 2 };
enum class SerialDataBits { Eight = 0, Seven = 1 };
enum class SerialFlowControl { None = 0, RtsCts = 2 };

enum class HdlcEncoding { Nrzi, Nrz };
enum class HdlcFrameCheck { Crc16, Crc32 };
enum class HdlcDuplex { Full, Half };
enum class HdlcIdle { Flag, Mark };
enum class HdlcInterface { Rs232c, Rs485 };

// The name names no port of any kind: the environment gets no port and no traffic window.
struct NoPortOptions {
    static constexpr PortKind kKind = PortKind::None;
    friend bool operator==(const NoPortOptions&, const NoPortOptions&) = default;
};

// A serial line.
struct SerialOptions {
    static constexpr PortKind kKind = PortKind::Serial;
    std::u16string device;     // the file the port opens: the name as the system resolves it
    std::int32_t bitRate = 0;  // 0 or below: no device accepts it
    SerialParity parity = SerialParity::Even;
    SerialStopBits stopBits = SerialStopBits::One;
    SerialDataBits dataBits = SerialDataBits::Eight;
    SerialFlowControl flowControl = SerialFlowControl::None;
    std::int32_t characterTimeoutMs = 0;  // a gap this long ends a frame being received
    friend bool operator==(const SerialOptions&, const SerialOptions&) = default;
};

// A channel of the HDLC board; the port name is the channel.
struct HdlcOptions {
    static constexpr PortKind kKind = PortKind::HdlcBoard;
    std::int32_t bitRate = 0;
    HdlcEncoding encoding = HdlcEncoding::Nrzi;
    HdlcFrameCheck frameCheck = HdlcFrameCheck::Crc16;
    HdlcDuplex duplex = HdlcDuplex::Full;
    HdlcIdle idle = HdlcIdle::Flag;
    HdlcInterface lineInterface = HdlcInterface::Rs232c;
    std::int32_t boardParameter = 0;
    friend bool operator==(const HdlcOptions&, const HdlcOptions&) = default;
};

// A UDP socket bound to the local endpoint the port name gives.
struct UdpOptions {
    static constexpr PortKind kKind = PortKind::Udp;
    UdpEndpoint local;
    // Where frames go when it parses; otherwise replies go to the last sender.
    std::optional<UdpEndpoint> remote;
    std::u16string remoteText;  // as written, for display
    friend bool operator==(const UdpOptions&, const UdpOptions&) = default;
};

// A TCP server listening at the endpoint (address 0: every interface), or a client connecting
// there. Its bytes are a stream, framed as a serial line's are.
struct TcpOptions {
    static constexpr PortKind kKind = PortKind::Tcp;
    TcpRole role = TcpRole::Server;
    UdpEndpoint endpoint;
    std::int32_t characterTimeoutMs = 0;  // a gap this long ends a frame being received
    friend bool operator==(const TcpOptions&, const TcpOptions&) = default;
};

// One alternative per kind of port; a new kind is one more alternative with its kKind.
using PortKindOptions = std::variant<NoPortOptions, SerialOptions, HdlcOptions, UdpOptions, TcpOptions>;

struct PortOptions {
    std::u16string name;  // as written: the device, the board channel or the local endpoint
    std::int32_t recordCapacity = 0;
    std::int32_t maxRecordLength = 0;
    std::int32_t preTriggerCount = 0;
    std::int32_t postTriggerCount = 0;  // negative: to the end of the run
    PortKindOptions kind;

    friend bool operator==(const PortOptions&, const PortOptions&) = default;
};

PortKind portKind(const PortOptions& options);
bool isUsable(const PortOptions& options);

}  // namespace orvalix
