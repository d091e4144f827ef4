#pragma once

#include "core/platform/win32/windows_headers.hpp"

#include <cstdint>
#include <cstring>

#include "core/ports/port.hpp"

// What the TCP and the UDP sockets share of the system's socket addresses.
namespace orvalix {

static_assert(sizeof(sockaddr_in) == sizeof(SocketAddress::bytes));

inline sockaddr_in toSockaddr(const SocketAddress& address) {
    sockaddr_in result{};
    std::memcpy(&result, address.bytes.data(), sizeof result);
    return result;
}

// The port the socket is bound to; 0 when the system cannot tell.
inline std::uint16_t boundPort(SOCKET socket) {
    sockaddr_in local{};
    int length = sizeof local;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        return 0;
    }
    return ntohs(local.sin_port);
}

}  // namespace orvalix
