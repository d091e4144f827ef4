// The platform-free half of the TCP sockets: the kept rest of a frame and the outcomes of an
// attempt to connect. The platform files do the system calls.

#include <algorithm>

#include "core/ports/tcp_socket.hpp"

namespace orvalix {

SocketHandle::SocketHandle(SocketHandle&& other) noexcept : value_(std::exchange(other.value_, -1)) {}

SocketHandle& SocketHandle::operator=(SocketHandle&& other) noexcept {
    if (this != &other) {
        const SocketHandle old(std::exchange(value_, -1));  // closed as it goes
        value_ = std::exchange(other.value_, -1);
    }
    return *this;
}

TcpConnection::Written TcpConnection::writeAll(std::span<const std::uint8_t> bytes) {
    Written total;
    while (total.count < bytes.size()) {
        const Written step = writeSome(bytes.subspan(total.count));
        total.count += step.count;
        if (step.count == 0) {
            total.error = step.error;
            break;
        }
    }
    return total;
}

TcpSendResult TcpConnection::flush() {
    if (pendingBytes() == 0) {
        return {TcpSendStatus::Complete, 0, 0};
    }
    const Written written = writeAll(std::span(pending_).subspan(pendingBegin_, pendingBytes()));
    pendingBegin_ += written.count;
    if (written.error != 0) {
        pendingBegin_ = pendingEnd_ = 0;
        return {TcpSendStatus::Failed, written.count, written.error};
    }
    if (pendingBytes() == 0) {
        pendingBegin_ = pendingEnd_ = 0;
        return {TcpSendStatus::Complete, written.count, 0};
    }
    return {TcpSendStatus::Pending, written.count, 0};
}

TcpSendResult TcpConnection::send(std::span<const std::uint8_t> frame) {
    const TcpSendResult earlier = flush();
    if (earlier.status == TcpSendStatus::Failed) {
        return {TcpSendStatus::Failed, 0, earlier.error};
    }
    if (earlier.status == TcpSendStatus::Pending) {
        return {TcpSendStatus::Busy, 0, 0};
    }
    const auto bytes = frame.first(std::min(frame.size(), kMaxFrameLength));
    // Straight from the caller's frame: only what the system leaves is copied.
    const Written written = writeAll(bytes);
    if (written.error != 0) {
        return {TcpSendStatus::Failed, written.count, written.error};
    }
    if (written.count == bytes.size()) {
        return {TcpSendStatus::Complete, written.count, 0};
    }
    const auto rest = bytes.subspan(written.count);
    std::copy(rest.begin(), rest.end(), pending_.begin());
    pendingBegin_ = 0;
    pendingEnd_ = rest.size();
    return {TcpSendStatus::Pending, written.count, 0};
}

TcpConnectProgress TcpConnector::connected() {
    return {TcpConnectStatus::Connected, TcpConnection(std::move(handle_), peer_), 0};
}

TcpConnectProgress TcpConnector::failed(std::uint32_t error) {
    handle_ = SocketHandle();
    error_ = error;
    return {TcpConnectStatus::Failed, std::nullopt, error};
}

}  // namespace orvalix
