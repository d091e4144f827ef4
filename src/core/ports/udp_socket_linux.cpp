#include "core/ports/udp_socket.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <utility>

#include "core/ports/socket_address_posix.hpp"

namespace orvalix {
namespace {

int descriptor(std::intptr_t handle) { return static_cast<int>(handle); }

}  // namespace

SocketAddress ipv4SocketAddress(std::uint32_t address, std::uint16_t port) {
    sockaddr_in native{};
    native.sin_family = AF_INET;
    native.sin_port = htons(port);
    native.sin_addr.s_addr = htonl(address);
    SocketAddress result;
    std::memcpy(result.bytes.data(), &native, sizeof native);
    return result;
}

Opening<UdpSocket> UdpSocket::bind(std::uint32_t address, std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (fd < 0) {
        return {std::nullopt, static_cast<std::uint32_t>(errno)};
    }
    UdpSocket socket(fd);
    const sockaddr_in local = toSockaddr(ipv4SocketAddress(address, port));
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        return {std::nullopt, static_cast<std::uint32_t>(errno)};
    }
    // Each datagram then brings the socket's drop count along; a kernel without it still
    // gives a working socket, one that never reports drops.
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_RXQ_OVFL, &one, sizeof one);
    return {std::move(socket), 0};
}

UdpSocket::UdpSocket(UdpSocket&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), droppedDatagrams_(std::exchange(other.droppedDatagrams_, 0)) {}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, -1);
        droppedDatagrams_ = std::exchange(other.droppedDatagrams_, 0);
    }
    return *this;
}

UdpSocket::~UdpSocket() { close(); }

void UdpSocket::close() {
    if (handle_ >= 0) {
        ::close(descriptor(handle_));
    }
    handle_ = -1;
}

bool UdpSocket::readable() {
    if (handle_ < 0) {
        return false;
    }
    pollfd entry{descriptor(handle_), POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLIN | POLLERR)) != 0;
}

std::optional<std::size_t> UdpSocket::receive(std::span<std::uint8_t> buffer, SocketAddress& sender) {
    sockaddr_in from{};
    iovec data{buffer.data(), buffer.size()};
    // Room for the one control message asked for, on the stack: nothing is allocated per datagram.
    alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(std::uint32_t))> control{};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control.data();
    message.msg_controllen = control.size();
    const ssize_t count = ::recvmsg(descriptor(handle_), &message, 0);
    if (count < 0) {
        return std::nullopt;
    }
    std::memcpy(sender.bytes.data(), &from, sizeof from);
    // The message comes only once the count is above 0.
    for (cmsghdr* entry = CMSG_FIRSTHDR(&message); entry != nullptr; entry = CMSG_NXTHDR(&message, entry)) {
        if (entry->cmsg_level == SOL_SOCKET && entry->cmsg_type == SO_RXQ_OVFL) {
            std::memcpy(&droppedDatagrams_, CMSG_DATA(entry), sizeof droppedDatagrams_);
        }
    }
    return static_cast<std::size_t>(count);
}

void UdpSocket::send(std::span<const std::uint8_t> data, const SocketAddress& destination) {
    const sockaddr_in to = toSockaddr(destination);
    ::sendto(descriptor(handle_), data.data(), data.size(), 0, reinterpret_cast<const sockaddr*>(&to),
             sizeof to);
}

std::uint16_t UdpSocket::localPort() const { return boundPort(descriptor(handle_)); }

}  // namespace orvalix
