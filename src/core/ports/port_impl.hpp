#pragma once

// Internal to the ports library: the one place that knows every port kind.

#include <memory>
#include <optional>
#include <string_view>
#include <variant>

#include "core/ports/hdlc_port.hpp"
#include "core/ports/port.hpp"
#include "core/ports/serial_port.hpp"
#include "core/ports/udp_port.hpp"

namespace orvalix {

// Each alternative is a move-only class that closes its handles when destroyed and offers
//   std::size_t read(std::span<std::uint8_t> buffer, std::uint32_t& status, SocketAddress& sender);
//   void write(std::span<const std::uint8_t> data, const SocketAddress& destination);
//   bool writeFinished();
//   PortHealth health() const;
// with the meaning OpenPort documents.
struct OpenPort::Impl {
    std::variant<SerialPort, HdlcPort, UdpPort> port;
};

// Each returns nothing when the port cannot be opened or set up (no partial port survives).
std::optional<SerialPort> openSerialPort(const SerialOptions& line);
std::optional<HdlcPort> openHdlcPort(std::u16string_view channel, const HdlcOptions& board,
                                     std::shared_ptr<HdlcLibrary> library);
std::optional<UdpPort> openUdpPort(const UdpOptions& endpoints);

}  // namespace orvalix
