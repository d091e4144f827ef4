#include "core/platform/win32/windows_headers.hpp"

#include <algorithm>
#include <climits>
#include <cstring>

#include "core/ports/socket_address_win32.hpp"
#include "core/ports/tcp_socket.hpp"
#include "core/ports/udp_socket.hpp"

namespace orvalix {
namespace {

SOCKET nativeSocket(const SocketHandle& handle) { return static_cast<SOCKET>(handle.get()); }

std::uint32_t lastError() { return static_cast<std::uint32_t>(::WSAGetLastError()); }

// A single call handles at most INT_MAX bytes; frames are far shorter.
int lengthOf(std::size_t size) { return static_cast<int>(std::min<std::size_t>(size, INT_MAX)); }

bool setOption(SOCKET socket, int level, int name) {
    const BOOL on = TRUE;
    return ::setsockopt(socket, level, name, reinterpret_cast<const char*>(&on), sizeof on) == 0;
}

bool makeNonBlocking(SOCKET socket) {
    u_long nonBlocking = 1;
    return ::ioctlsocket(socket, FIONBIO, &nonBlocking) == 0;
}

// Makes a TCP socket into handle: 0, or the system's error.
std::uint32_t newSocket(SocketHandle& handle) {
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET) {
        return lastError();
    }
    handle = SocketHandle(static_cast<std::intptr_t>(socket));
    return 0;
}

}  // namespace

SocketHandle::~SocketHandle() {
    if (valid()) {
        ::closesocket(static_cast<SOCKET>(value_));
    }
}

TcpReceiveResult TcpConnection::receive(std::span<std::uint8_t> buffer) {
    if (buffer.empty()) {
        return {};
    }
    const int count =
        ::recv(nativeSocket(handle_), reinterpret_cast<char*>(buffer.data()), lengthOf(buffer.size()), 0);
    if (count > 0) {
        return {TcpReceiveStatus::Received, static_cast<std::size_t>(count), 0};
    }
    if (count == 0) {
        return {TcpReceiveStatus::Closed, 0, 0};
    }
    const std::uint32_t error = lastError();
    if (error == WSAEWOULDBLOCK) {
        return {};
    }
    return {TcpReceiveStatus::Failed, 0, error};
}

TcpConnection::Written TcpConnection::writeSome(std::span<const std::uint8_t> bytes) {
    const int count =
        ::send(nativeSocket(handle_), reinterpret_cast<const char*>(bytes.data()), lengthOf(bytes.size()), 0);
    if (count != SOCKET_ERROR) {
        return {static_cast<std::size_t>(count), 0};
    }
    const std::uint32_t error = lastError();
    return {0, error == WSAEWOULDBLOCK ? 0 : error};
}

TcpListener::Opened TcpListener::open(std::uint32_t address, std::uint16_t port) {
    SocketHandle handle;
    if (const std::uint32_t error = newSocket(handle); error != 0) {
        return {std::nullopt, error};
    }
    const SOCKET socket = nativeSocket(handle);
    const sockaddr_in local = toSockaddr(ipv4SocketAddress(address, port));
    // Without it another program could bind the port with SO_REUSEADDR and take our clients.
    if (!setOption(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE) || !makeNonBlocking(socket) ||
        ::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(socket, SOMAXCONN) != 0) {
        return {std::nullopt, lastError()};
    }
    return {TcpListener(std::move(handle)), 0};
}

TcpAccepted TcpListener::accept() {
    for (;;) {
        sockaddr_in from{};
        int length = sizeof from;
        const SOCKET socket = ::accept(nativeSocket(handle_), reinterpret_cast<sockaddr*>(&from), &length);
        if (socket != INVALID_SOCKET) {
            // The accepted socket is non-blocking like the listener.
            SocketHandle handle(static_cast<std::intptr_t>(socket));
            if (!setOption(socket, IPPROTO_TCP, TCP_NODELAY)) {
                return {std::nullopt, lastError()};
            }
            SocketAddress peer;
            std::memcpy(peer.bytes.data(), &from, sizeof from);
            return {TcpConnection(std::move(handle), peer), 0};
        }
        // A client that reset its connection while it waited has left the queue; the next
        // one may be there.
        const std::uint32_t error = lastError();
        if (error == WSAEWOULDBLOCK) {
            return {};
        }
        if (error != WSAECONNRESET) {
            return {std::nullopt, error};
        }
    }
}

std::uint16_t TcpListener::localPort() const { return boundPort(nativeSocket(handle_)); }

TcpConnector TcpConnector::start(std::uint32_t address, std::uint16_t port) {
    const SocketAddress peer = ipv4SocketAddress(address, port);
    TcpConnector connector(SocketHandle(), peer);
    if (const std::uint32_t error = newSocket(connector.handle_); error != 0) {
        connector.error_ = error;
        return connector;
    }
    const SOCKET socket = nativeSocket(connector.handle_);
    if (!makeNonBlocking(socket) || !setOption(socket, IPPROTO_TCP, TCP_NODELAY)) {
        connector.error_ = lastError();
        return connector;
    }
    const sockaddr_in remote = toSockaddr(peer);
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0) {
        connector.connected_ = true;
    } else if (const std::uint32_t error = lastError(); error != WSAEWOULDBLOCK) {
        connector.error_ = error;
    }
    return connector;
}

TcpConnectProgress TcpConnector::poll() {
    if (error_ != 0 || !handle_.valid()) {
        return failed(error_);
    }
    if (connected_) {
        return connected();
    }
    // Winsock reports a finished attempt as writable, a failed one as an exception.
    const SOCKET socket = nativeSocket(handle_);
    fd_set writeSet;
    fd_set exceptSet;
    FD_ZERO(&writeSet);
    FD_ZERO(&exceptSet);
    FD_SET(socket, &writeSet);
    FD_SET(socket, &exceptSet);
    timeval noWait{0, 0};
    if (::select(0, nullptr, &writeSet, &exceptSet, &noWait) <= 0) {
        return {};
    }
    if (FD_ISSET(socket, &writeSet)) {
        return connected();
    }
    int error = 0;
    int length = sizeof error;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
        return failed(lastError());
    }
    // An exception without an error should not happen; it still ends the attempt.
    return failed(error != 0 ? static_cast<std::uint32_t>(error) : WSAENOTCONN);
}

}  // namespace orvalix
