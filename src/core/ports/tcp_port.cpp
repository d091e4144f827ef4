#include "core/ports/tcp_port.hpp"

#include <algorithm>
#include <utility>

#include "core/platform/clock.hpp"
#include "core/ports/port_impl.hpp"

namespace orvalix {

std::int64_t TcpPort::steadyMilliseconds() {
    const std::int64_t counter = platform::performanceCounter();
    const std::int64_t frequency = platform::performanceFrequency();
    if (frequency <= 0) {
        return 0;
    }
    return counter / frequency * 1000 + counter % frequency * 1000 / frequency;
}

std::optional<TcpPort> TcpPort::listen(std::uint32_t address, std::uint16_t port, std::uint32_t& error) {
    TcpListener::Opened opened = TcpListener::open(address, port);
    error = opened.error;
    if (!opened.listener) {
        return std::nullopt;
    }
    TcpPort server(TcpRole::Server, address, port, Clock());
    server.listener_ = std::move(opened.listener);
    return server;
}

TcpPort TcpPort::connect(std::uint32_t address, std::uint16_t port, Clock clock) {
    TcpPort client(TcpRole::Client, address, port, std::move(clock));
    client.attempt_ = TcpConnector::start(address, port);
    return client;
}

std::size_t TcpPort::read(std::span<std::uint8_t> buffer, std::uint32_t& /*status*/, SocketAddress& sender) {
    if (!connection_) {
        seekConnection();
        if (!connection_) {
            return 0;
        }
    }
    flushRest();
    if (!connection_) {
        return 0;
    }
    const auto target = buffer.first(std::min(buffer.size(), kMaxFrameLength));
    const TcpReceiveResult received = connection_->receive(target);
    switch (received.status) {
        case TcpReceiveStatus::Received:
            sender = connection_->peer();
            return received.count;
        case TcpReceiveStatus::WouldBlock:
            break;
        case TcpReceiveStatus::Closed:
        case TcpReceiveStatus::Failed:
            // A peer that went away, politely or not, ends its connection and no more.
            drop();
            break;
    }
    return 0;
}

void TcpPort::write(std::span<const std::uint8_t> data, const SocketAddress& /*destination*/) {
    writeCompleted_ = true;
    if (!connection_) {
        ++connections_.droppedSends;
        return;
    }
    switch (connection_->send(data).status) {
        case TcpSendStatus::Complete:
            break;
        case TcpSendStatus::Pending:
            writeCompleted_ = false;
            break;
        case TcpSendStatus::Busy:  // written while the last frame still waits: not taken
            ++connections_.droppedSends;
            writeCompleted_ = false;
            break;
        case TcpSendStatus::Failed:
            ++connections_.droppedSends;
            drop();
            break;
    }
}

platform::WaitSource TcpPort::waitSource() const {
    if (connection_) {
        return {platform::WaitSource::Kind::Socket, connection_->nativeHandle(), connections_.opened};
    }
    if (listener_) {
        return {platform::WaitSource::Kind::Socket, listener_->nativeHandle()};
    }
    return {};
}

bool TcpPort::writeFinished() {
    flushRest();
    return std::exchange(writeCompleted_, false);
}

void TcpPort::flushRest() {
    if (!connection_ || connection_->pendingBytes() == 0) {
        return;
    }
    switch (connection_->flush().status) {
        case TcpSendStatus::Complete:
            writeCompleted_ = true;
            break;
        case TcpSendStatus::Pending:
        case TcpSendStatus::Busy:
            break;
        case TcpSendStatus::Failed:
            ++connections_.droppedSends;
            drop();
            break;
    }
}

void TcpPort::seekConnection() {
    if (role_ == TcpRole::Server) {
        acceptNext();
    } else {
        pollAttempt();
    }
}

void TcpPort::acceptNext() {
    TcpAccepted accepted = listener_->accept();
    if (accepted.connection) {
        connected(std::move(*accepted.connection));
    } else if (accepted.error != 0) {
        failed(accepted.error);
    }
}

void TcpPort::pollAttempt() {
    if (!attempt_) {
        if (clock_() < nextAttemptMs_) {
            return;
        }
        attempt_ = TcpConnector::start(address_, port_);
    }
    TcpConnectProgress progress = attempt_->poll();
    switch (progress.status) {
        case TcpConnectStatus::Connecting:
            return;
        case TcpConnectStatus::Connected:
            attempt_.reset();
            connected(std::move(*progress.connection));
            return;
        case TcpConnectStatus::Failed:
            attempt_.reset();
            nextAttemptMs_ = clock_() + kRetryDelayMs;
            failed(progress.error);
            return;
    }
}

void TcpPort::connected(TcpConnection connection) {
    connection_ = std::move(connection);
    ++connections_.opened;
    connections_.peer(connections_.opened) = connection_->peer();
    failing_ = false;
}

void TcpPort::failed(std::uint32_t error) {
    ++connections_.failedAttempts;
    if (!failing_ || error != connections_.failureError) {
        ++connections_.failureRuns;
        connections_.failureError = error;
    }
    failing_ = true;
}

void TcpPort::drop() {
    connection_.reset();
    ++connections_.closed;
    writeCompleted_ = true;
    if (role_ == TcpRole::Client) {
        nextAttemptMs_ = clock_() + kRetryDelayMs;
    }
}

Opening<OpenPort> openTcpPort(TcpRole role, std::uint32_t address, std::uint16_t port) {
    std::optional<TcpPort> opened;
    std::uint32_t error = 0;
    if (role == TcpRole::Server) {
        opened = TcpPort::listen(address, port, error);
    } else {
        opened = TcpPort::connect(address, port);
    }
    if (!opened) {
        return {std::nullopt, error};
    }
    return {OpenPort(std::make_unique<OpenPort::Impl>(OpenPort::Impl{std::move(*opened)})), 0};
}

}  // namespace orvalix
