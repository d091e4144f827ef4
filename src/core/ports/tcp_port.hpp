#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <utility>

#include "core/ports/port.hpp"
#include "core/ports/tcp_socket.hpp"

namespace orvalix {


// A TCP port: a byte stream to one peer at a time, framed by the service like a serial line.
// A server listens and serves one connection at a time; further clients wait in the listen
// backlog until it ends, and a peer that closes is a normal end. A client connects at once
// and, whenever an attempt fails or its connection ends, tries again a second later. Nothing
// here blocks or allocates once the port is open; what became of the connections shows in
// health().connections.
class TcpPort {
public:
    // Milliseconds of a steady clock, for the client's next attempt; the platform's counter
    // unless a test steps a clock of its own.
    using Clock = std::function<std::int64_t()>;
    static std::int64_t steadyMilliseconds();

    static constexpr std::int64_t kRetryDelayMs = 1000;

    // Listens at address:port (host byte order; address 0 for every interface). Nothing, with
    // the system's error in error, when it cannot (the port in use, say).
    static std::optional<TcpPort> listen(std::uint32_t address, std::uint16_t port, std::uint32_t& error);
    // Starts connecting to address:port (host byte order); it cannot fail, it retries.
    static TcpPort connect(std::uint32_t address, std::uint16_t port, Clock clock = steadyMilliseconds);

    PortKind kind() const { return PortKind::Tcp; }
    // The bytes that have arrived, at most buffer.size(); the peer in sender. Connections are
    // accepted, made and dropped here, and a kept rest of the last frame is handed on.
    std::size_t read(std::span<std::uint8_t> buffer, std::uint32_t& status, SocketAddress& sender);
    // Sends to the connected peer; without one the frame is dropped and counted. The
    // destination is not used.
    void write(std::span<const std::uint8_t> data, const SocketAddress& destination);
    // Hands on what the system could not take at once; true when nothing is left of the last
    // frame, and a true answer consumes the completion.
    bool writeFinished();
    PortHealth health() const { return {.connections = connections_}; }
    // The connection while one is served, else a server's listener; a client that is still
    // connecting has nothing to wait on (its attempts follow the tick).
    platform::WaitSource waitSource() const;

    // The port a server listens on (the one the system chose for port 0); 0 for a client.
    std::uint16_t localPort() const { return listener_ ? listener_->localPort() : 0; }

private:
    TcpPort(TcpRole role, std::uint32_t address, std::uint16_t port, Clock clock)
        : role_(role), address_(address), port_(port), clock_(std::move(clock)) {}

    // Without a connection: takes the next waiting client, or looks after the attempt to connect.
    void seekConnection();
    void acceptNext();
    void pollAttempt();
    void connected(TcpConnection connection);
    void failed(std::uint32_t error);
    // Hands on the kept rest of the last frame; the write completes once it went, or was lost
    // with a connection that broke.
    void flushRest();
    // Ends the connection; a client tries again a second later.
    void drop();

    TcpRole role_;
    std::uint32_t address_;
    std::uint16_t port_;
    Clock clock_;
    std::optional<TcpListener> listener_;
    std::optional<TcpConnector> attempt_;
    std::int64_t nextAttemptMs_ = 0;
    std::optional<TcpConnection> connection_;
    bool failing_ = false;  // since the last connection, attempts have failed
    // The write event of the other kinds: set once nothing of the last frame waits.
    bool writeCompleted_ = true;
    ConnectionHealth connections_;
};

// The port as one of OpenPort's kinds: a server listening at address:port (none, with the
// system's reason, when it cannot, which the caller reports as "Can't open"), or a client
// connecting there, which always opens.
Opening<OpenPort> openTcpPort(TcpRole role, std::uint32_t address, std::uint16_t port);

}  // namespace orvalix
