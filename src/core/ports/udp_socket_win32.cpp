#include "core/ports/udp_socket.hpp"

#include "core/platform/win32/windows_headers.hpp"

#include <mswsock.h>

#include <cstring>
#include <utility>

#include "core/ports/socket_address_win32.hpp"

namespace orvalix {
namespace {

SOCKET nativeSocket(std::intptr_t handle) { return static_cast<SOCKET>(handle); }

// Windows reports an ICMP port-unreachable for an earlier send as a failure of the next
// receive on the socket, again and again while such replies arrive; a simulator that
// answers peers which come and go must not see that.
void stopConnectionResetReports(SOCKET socket) {
    BOOL report = FALSE;
    DWORD returned = 0;
    WSAIoctl(socket, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr, nullptr);
}

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
    const SOCKET handle = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (handle == INVALID_SOCKET) {
        return {std::nullopt, static_cast<std::uint32_t>(WSAGetLastError())};
    }
    UdpSocket socket(static_cast<std::intptr_t>(handle));
    const sockaddr_in local = toSockaddr(ipv4SocketAddress(address, port));
    if (::bind(handle, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        return {std::nullopt, static_cast<std::uint32_t>(WSAGetLastError())};
    }
    stopConnectionResetReports(handle);
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
    if (handle_ != -1) {
        ::closesocket(nativeSocket(handle_));
    }
    handle_ = -1;
}

bool UdpSocket::readable() {
    if (handle_ == -1) {
        return false;
    }
    fd_set readSet;
    FD_ZERO(&readSet);
    FD_SET(nativeSocket(handle_), &readSet);
    timeval noWait{0, 0};
    return ::select(0, &readSet, nullptr, nullptr, &noWait) > 0 && FD_ISSET(nativeSocket(handle_), &readSet);
}

std::optional<std::size_t> UdpSocket::receive(std::span<std::uint8_t> buffer, SocketAddress& sender) {
    sockaddr_in from{};
    int fromLength = sizeof from;
    const int count =
        ::recvfrom(nativeSocket(handle_), reinterpret_cast<char*>(buffer.data()),
                   static_cast<int>(buffer.size()), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (count == SOCKET_ERROR) {
        return std::nullopt;
    }
    std::memcpy(sender.bytes.data(), &from, sizeof from);
    return static_cast<std::size_t>(count);
}

void UdpSocket::send(std::span<const std::uint8_t> data, const SocketAddress& destination) {
    const sockaddr_in to = toSockaddr(destination);
    ::sendto(nativeSocket(handle_), reinterpret_cast<const char*>(data.data()), static_cast<int>(data.size()),
             0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

std::uint16_t UdpSocket::localPort() const { return boundPort(nativeSocket(handle_)); }

}  // namespace orvalix
