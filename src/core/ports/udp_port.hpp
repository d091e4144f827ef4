#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

#include "core/ports/port.hpp"
#include "core/ports/udp_socket.hpp"

namespace orvalix {

// A UDP port: one datagram per read, one datagram per write, sent at once.
class UdpPort {
public:
    explicit UdpPort(UdpSocket socket) : socket_(std::move(socket)) {}

    PortKind kind() const { return PortKind::Udp; }
    std::size_t read(std::span<std::uint8_t> buffer, std::uint32_t& status, SocketAddress& sender);
    void write(std::span<const std::uint8_t> data, const SocketAddress& destination);
    bool writeFinished();
    // A socket does not go away; the system's drops are all it has to tell.
    PortHealth health() const { return {0, socket_.droppedDatagrams()}; }
    platform::WaitSource waitSource() const { return socket_.waitSource(); }

private:
    UdpSocket socket_;
    // The write event of the other kinds, reduced to a flag: a send completes at once.
    bool writeCompleted_ = true;
};

}  // namespace orvalix
