#pragma once

// Internal to the ports library: the one place that knows every port kind.

#include <memory>
#include <optional>
#include <string_view>
#include <variant>

#include "core/ports/hdlc_port.hpp"
#include "core/ports/opening.hpp"
#include "core/ports/port.hpp"
#include "core/ports/serial_port.hpp"
#include "core/ports/tcp_port.hpp"
#include "core/ports/udp_port.hpp"

namespace orvalix {

// Each alternative is a move-only class that closes its handles when destroyed and offers
//   PortKind kind() const;
//   std::size_t read(std::span<std::uint8_t> buffer, std::uint32_t& status, SocketAddress& sender);
//   void write(std::span<const std::uint8_t> data, const SocketAddress& destination);
//   bool writeFinished();
//   PortHealth health() const;
//   platform::WaitSource waitSource() const;
// with the meaning OpenPort documents.
struct OpenPort::Impl {
    std::variant<SerialPort, HdlcPort, UdpPort, TcpPort> port;
};

// Each gives no port when it cannot be opened or set up (no partial port survives), with the
// system's reason where there is one; the board library gives none.
Opening<SerialPort> openSerialPort(const SerialOptions& line);
std::optional<HdlcPort> openHdlcPort(std::u16string_view channel, const HdlcOptions& board,
                                     std::shared_ptr<HdlcLibrary> library);
Opening<UdpPort> openUdpPort(const UdpOptions& endpoints);

}  // namespace orvalix
