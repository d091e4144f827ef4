#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>

#include "core/bytes/byte_buffer.hpp"
#include "core/ports/port.hpp"

namespace orvalix {

// Non-blocking IPv4 stream sockets, the platform seam of the TCP ports. Every call returns at
// once and allocates nothing. Addresses and ports are in host byte order; peers are the
// sockaddr_in images the UDP port uses. A failure carries the system's error number (errno;
// the Winsock code on Windows), which platform::systemErrorText turns into the system's text.
// On Windows the sockets library must be started first (platform::SocketsStartup).

// An owned socket (a descriptor; a SOCKET on Windows), closed when destroyed; -1 when empty.
class SocketHandle {
public:
    SocketHandle() = default;
    explicit SocketHandle(std::intptr_t value) : value_(value) {}
    SocketHandle(SocketHandle&& other) noexcept;
    SocketHandle& operator=(SocketHandle&& other) noexcept;
    SocketHandle(const SocketHandle&) = delete;
    SocketHandle& operator=(const SocketHandle&) = delete;
    ~SocketHandle();

    std::intptr_t get() const { return value_; }
    bool valid() const { return value_ != -1; }

private:
    std::intptr_t value_ = -1;
};

enum class TcpReceiveStatus {
    Received,    // count bytes arrived
    WouldBlock,  // nothing there yet
    Closed,      // the peer closed its side and everything it sent has been read
    Failed,      // the connection broke (a reset, say); error says why
};

struct TcpReceiveResult {
    TcpReceiveStatus status = TcpReceiveStatus::WouldBlock;
    std::size_t count = 0;
    std::uint32_t error = 0;
};

enum class TcpSendStatus {
    Complete,  // the system has taken every byte
    Pending,   // the system took part; the connection keeps the rest and flush() hands it on
    Busy,      // the rest of an earlier frame still waits; this frame was not taken
    Failed,    // the connection broke; error says why and what was kept is dropped
};

struct TcpSendResult {
    TcpSendStatus status = TcpSendStatus::Complete;
    std::size_t sent = 0;  // bytes of this frame (of the kept rest, for flush) the system took now
    std::uint32_t error = 0;
};

// One end of an established connection, with Nagle's delay turned off so that a reply goes
// out at once. A send the system takes only in part keeps the rest in a buffer of the
// connection's own (one frame of kMaxFrameLength bytes), so the caller may reuse its frame;
// the rest goes out with later send() or flush() calls, in order. After Closed or Failed the
// connection is done: drop it.
class TcpConnection {
public:
    // Reads what has arrived, at most buffer.size() bytes; an empty buffer reads nothing.
    TcpReceiveResult receive(std::span<std::uint8_t> buffer);

    // Sends a frame of at most kMaxFrameLength bytes (a longer one is cut there, as every port
    // cuts it). It first flushes an earlier frame's rest; while that still waits, the new
    // frame is Busy.
    TcpSendResult send(std::span<const std::uint8_t> frame);
    // Hands on the kept rest; Complete once nothing is left (at once when nothing was kept).
    TcpSendResult flush();
    std::size_t pendingBytes() const { return pendingEnd_ - pendingBegin_; }

    const SocketAddress& peer() const { return peer_; }
    std::intptr_t nativeHandle() const { return handle_.get(); }

private:
    friend class TcpListener;
    friend class TcpConnector;
    TcpConnection(SocketHandle handle, const SocketAddress& peer) : handle_(std::move(handle)), peer_(peer) {}

    // What one non-blocking send of the platform did: bytes taken, or the error (0 with
    // nothing taken: the system has no room now).
    struct Written {
        std::size_t count = 0;
        std::uint32_t error = 0;
    };
    Written writeSome(std::span<const std::uint8_t> bytes);
    // Sends until everything went, the system has no room or the connection broke.
    Written writeAll(std::span<const std::uint8_t> bytes);

    SocketHandle handle_;
    SocketAddress peer_;
    std::size_t pendingBegin_ = 0;
    std::size_t pendingEnd_ = 0;
    std::array<std::uint8_t, kMaxFrameLength> pending_{};
};

struct TcpAccepted {
    std::optional<TcpConnection> connection;  // nothing when no client waits or accept failed
    std::uint32_t error = 0;                  // why accept failed; 0 when simply nobody waits
};

// A listening socket. Clients the caller does not accept yet wait in the system's backlog.
// On POSIX the address is reused (SO_REUSEADDR), so a restarted run can listen again at once
// although connections of the last run linger in TIME_WAIT; on Windows that option would let
// a second socket take the same port, so the port is held exclusively instead.
class TcpListener {
public:
    struct Opened;
    // Binds and listens; the system's error (address in use, say) when it cannot.
    static Opened open(std::uint32_t address, std::uint16_t port);

    // The next waiting client. A client that gave up before it was accepted counts as
    // nobody waiting.
    TcpAccepted accept();
    // The bound port; 0 when it cannot be asked.
    std::uint16_t localPort() const;
    std::intptr_t nativeHandle() const { return handle_.get(); }

private:
    explicit TcpListener(SocketHandle handle) : handle_(std::move(handle)) {}
    SocketHandle handle_;
};

struct TcpListener::Opened {
    std::optional<TcpListener> listener;
    std::uint32_t error = 0;
};

enum class TcpConnectStatus {
    Connecting,  // still waiting for the peer's answer
    Connected,   // the connection is handed over; the connector is spent
    Failed,      // refused, unreachable or timed out; error says why; the connector is spent
};

struct TcpConnectProgress {
    TcpConnectStatus status = TcpConnectStatus::Connecting;
    std::optional<TcpConnection> connection;  // with Connected
    std::uint32_t error = 0;                  // with Failed
};

// One connection attempt, started without waiting. A failure to even start (no socket, an
// address the system rejects at once) shows at the first poll(); a new attempt is a new
// connector. A spent connector answers Failed.
class TcpConnector {
public:
    static TcpConnector start(std::uint32_t address, std::uint16_t port);

    // Looks, without waiting, whether the attempt has ended.
    TcpConnectProgress poll();

private:
    TcpConnector(SocketHandle handle, const SocketAddress& peer) : handle_(std::move(handle)), peer_(peer) {}
    TcpConnectProgress connected();
    TcpConnectProgress failed(std::uint32_t error);

    SocketHandle handle_;
    SocketAddress peer_;
    std::uint32_t error_ = 0;  // an attempt that failed as it started
    bool connected_ = false;   // an attempt that succeeded as it started
};

}  // namespace orvalix
