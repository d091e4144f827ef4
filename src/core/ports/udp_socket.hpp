#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "core/ports/opening.hpp"
#include "core/ports/port.hpp"

namespace orvalix {

// A blocking IPv4 datagram socket, the only platform seam of the UDP port. Closed when
// destroyed. On Windows a socket an ArrivalWaiter has watched stays non-blocking: it is read
// only when readable, and a send the system has no room for fails, unreported, as others do. Addresses and ports are in host byte order; SocketAddress is the 16-byte
// sockaddr_in image the platform fills.
class UdpSocket {
public:
    // Nothing, and the system's reason, when the socket cannot be made or bound.
    static Opening<UdpSocket> bind(std::uint32_t address, std::uint16_t port);

    UdpSocket(UdpSocket&& other) noexcept;
    UdpSocket& operator=(UdpSocket&& other) noexcept;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;
    ~UdpSocket();

    // Zero-time poll for readability; false when the poll itself fails.
    bool readable();
    // One datagram, at most buffer.size() bytes; nothing on a receive error.
    std::optional<std::size_t> receive(std::span<std::uint8_t> buffer, SocketAddress& sender);
    // Datagrams the system dropped for want of room in the receive buffer since the socket was
    // made, as the last datagram received reported it (it wraps around). Linux only: Winsock
    // keeps no such count, and this stays 0 there.
    std::uint32_t droppedDatagrams() const { return droppedDatagrams_; }
    // One datagram; failures are not reported.
    void send(std::span<const std::uint8_t> data, const SocketAddress& destination);
    // The bound port; 0 when it cannot be asked.
    std::uint16_t localPort() const;
    platform::WaitSource waitSource() const {
        return {platform::WaitSource::Kind::Socket, handle_};
    }

private:
    explicit UdpSocket(std::intptr_t handle) : handle_(handle) {}
    void close();

    std::intptr_t handle_ = -1;
    std::uint32_t droppedDatagrams_ = 0;
};

// The sockaddr_in image of an IPv4 address and port.
SocketAddress ipv4SocketAddress(std::uint32_t address, std::uint16_t port);

}  // namespace orvalix
