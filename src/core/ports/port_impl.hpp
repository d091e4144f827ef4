#pragma once

// Internal to the ports library: the one place that knows every port kind.

#include <memory>
#include <optional>
#include <variant>

#include "core/ports/hdlc_port.hpp"
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
// with the meaning OpenPort documents.
struct OpenPort::Impl {
    std::variant<SerialPort, HdlcPort, UdpPort, TcpPort> port;
};

// Each returns nothing when the port cannot be opened or set up (no partial port survives).
std::optional<SerialPort> openSerialPort(const PortSettings& settings);
std::optional<HdlcPort> openHdlcPort(const PortSettings& settings, std::shared_ptr<HdlcLibrary> library);
std::optional<UdpPort> openUdpPort(const PortSettings& settings);

}  // namespace orvalix
