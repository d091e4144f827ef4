#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/ports/socket_address_posix.hpp"
#include "core/ports/tcp_socket.hpp"
#include "core/ports/udp_socket.hpp"

namespace orvalix {
namespace {

// A peer that has gone must not end the process with SIGPIPE; where send has no flag for
// that, the socket carries the option instead.
#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;
#endif

int descriptor(const SocketHandle& handle) { return static_cast<int>(handle.get()); }

std::uint32_t lastError() { return static_cast<std::uint32_t>(errno); }

bool wouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

bool setOption(int fd, int level, int name) {
    const int one = 1;
    return ::setsockopt(fd, level, name, &one, sizeof one) == 0;
}

// Non-blocking, and not handed down to programs the process might start.
bool prepare(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags != -1 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 &&
           ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

// And without Nagle's delay, so that a reply leaves at once.
bool prepareConnection(int fd) {
#ifdef SO_NOSIGPIPE
    if (!setOption(fd, SOL_SOCKET, SO_NOSIGPIPE)) {
        return false;
    }
#endif
    return prepare(fd) && setOption(fd, IPPROTO_TCP, TCP_NODELAY);
}

// Makes a TCP socket into handle: 0, or the system's error.
std::uint32_t newSocket(SocketHandle& handle) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (fd < 0) {
        return lastError();
    }
    handle = SocketHandle(fd);
    return 0;
}

}  // namespace

SocketHandle::~SocketHandle() {
    if (valid()) {
        ::close(static_cast<int>(value_));
    }
}

TcpReceiveResult TcpConnection::receive(std::span<std::uint8_t> buffer) {
    if (buffer.empty()) {
        return {};
    }
    for (;;) {
        const ssize_t count = ::recv(descriptor(handle_), buffer.data(), buffer.size(), 0);
        if (count > 0) {
            return {TcpReceiveStatus::Received, static_cast<std::size_t>(count), 0};
        }
        if (count == 0) {
            return {TcpReceiveStatus::Closed, 0, 0};
        }
        if (errno != EINTR) {
            break;
        }
    }
    if (wouldBlock(errno)) {
        return {};
    }
    return {TcpReceiveStatus::Failed, 0, lastError()};
}

TcpConnection::Written TcpConnection::writeSome(std::span<const std::uint8_t> bytes) {
    for (;;) {
        const ssize_t count = ::send(descriptor(handle_), bytes.data(), bytes.size(), kSendFlags);
        if (count >= 0) {
            return {static_cast<std::size_t>(count), 0};
        }
        if (errno != EINTR) {
            break;
        }
    }
    return {0, wouldBlock(errno) ? 0 : lastError()};
}

TcpListener::Opened TcpListener::open(std::uint32_t address, std::uint16_t port) {
    SocketHandle handle;
    if (const std::uint32_t error = newSocket(handle); error != 0) {
        return {std::nullopt, error};
    }
    const int fd = descriptor(handle);
    const sockaddr_in local = toSockaddr(ipv4SocketAddress(address, port));
    if (!setOption(fd, SOL_SOCKET, SO_REUSEADDR) || !prepare(fd) ||
        ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(fd, SOMAXCONN) != 0) {
        return {std::nullopt, lastError()};
    }
    return {TcpListener(std::move(handle)), 0};
}

TcpAccepted TcpListener::accept() {
    for (;;) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const int fd = ::accept(descriptor(handle_), reinterpret_cast<sockaddr*>(&from), &length);
        if (fd >= 0) {
            SocketHandle handle(fd);
            if (!prepareConnection(fd)) {
                return {std::nullopt, lastError()};
            }
            SocketAddress peer;
            std::memcpy(peer.bytes.data(), &from, sizeof from);
            return {TcpConnection(std::move(handle), peer), 0};
        }
        // A client that reset its connection while it waited has left the queue; the next
        // one may be there.
        if (errno != EINTR && errno != ECONNABORTED) {
            break;
        }
    }
    if (wouldBlock(errno)) {
        return {};
    }
    return {std::nullopt, lastError()};
}

std::uint16_t TcpListener::localPort() const { return boundPort(descriptor(handle_)); }

TcpConnector TcpConnector::start(std::uint32_t address, std::uint16_t port) {
    const SocketAddress peer = ipv4SocketAddress(address, port);
    TcpConnector connector(SocketHandle(), peer);
    if (const std::uint32_t error = newSocket(connector.handle_); error != 0) {
        connector.error_ = error;
        return connector;
    }
    const int fd = descriptor(connector.handle_);
    if (!prepareConnection(fd)) {
        connector.error_ = lastError();
        return connector;
    }
    const sockaddr_in remote = toSockaddr(peer);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0) {
        connector.connected_ = true;
    } else if (errno != EINPROGRESS && errno != EINTR) {
        // An interrupted connect goes on in the background, as one in progress does.
        connector.error_ = lastError();
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
    pollfd entry{descriptor(handle_), POLLOUT, 0};
    if (::poll(&entry, 1, 0) <= 0) {
        return {};
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(descriptor(handle_), SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        return failed(lastError());
    }
    return error == 0 ? connected() : failed(static_cast<std::uint32_t>(error));
}

}  // namespace orvalix
