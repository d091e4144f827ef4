#include "core/ports/udp_port.hpp"

#include <algorithm>

#include "core/bytes/byte_buffer.hpp"
#include "core/ports/port_impl.hpp"

namespace orvalix {
namespace {

// A readable socket whose receive keeps failing must not hold the service cycle: after
// this many failed receives the read gives up until the next cycle.
constexpr int kReceiveAttempts = 16;

}  // namespace

std::size_t UdpPort::read(std::span<std::uint8_t> buffer, std::uint32_t& /*status*/, SocketAddress& sender) {
    const auto target = buffer.first(std::min(buffer.size(), kMaxFrameLength));
    for (int attempt = 0; attempt < kReceiveAttempts; ++attempt) {
        if (!socket_.readable()) {
            return 0;
        }
        if (const auto received = socket_.receive(target, sender)) {
            return *received;
        }
    }
    return 0;
}

void UdpPort::write(std::span<const std::uint8_t> data, const SocketAddress& destination) {
    socket_.send(data, destination);
    writeCompleted_ = true;
}

bool UdpPort::writeFinished() { return std::exchange(writeCompleted_, false); }

Opening<UdpPort> openUdpPort(const UdpOptions& endpoints) {
    Opening<UdpSocket> socket = UdpSocket::bind(endpoints.local.address, endpoints.local.port);
    if (!socket.opened) {
        return {std::nullopt, socket.error};
    }
    return {UdpPort(std::move(*socket.opened)), 0};
}

}  // namespace orvalix
