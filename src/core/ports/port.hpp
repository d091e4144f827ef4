#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/wait_source.hpp"
#include "core/ports/opening.hpp"
#include "core/ports/port_options.hpp"
#include "core/text/language.hpp"

namespace orvalix {

// An IPv4 socket address as the sockets library fills it (family, port and address in
// network byte order, eight zero bytes). Kept per port as the last sender.
struct SocketAddress {
    std::array<std::uint8_t, 16> bytes{};
    friend bool operator==(const SocketAddress&, const SocketAddress&) = default;
};

// "127.0.0.1:50344": the address and port of the image.
std::string socketAddressText(const SocketAddress& address);
// The address and port of the image, in host byte order.
UdpEndpoint socketEndpoint(const SocketAddress& address);

// Communication error flags of a serial read, as the Windows CE_ values (so that the
// attribute word of a received record means the same on every platform).
inline constexpr std::uint32_t kReceiveOverrun = 0x0002;   // CE_OVERRUN
inline constexpr std::uint32_t kReceiveParity = 0x0004;    // CE_RXPARITY
inline constexpr std::uint32_t kReceiveFraming = 0x0008;   // CE_FRAME
inline constexpr std::uint32_t kReceiveBreak = 0x0010;     // CE_BREAK

// What a TCP port has learned of its connections since it opened. The counters only grow
// (wrapping around), so that whoever looks seldom still learns of every connection that came
// and went meanwhile; the peers of the latest ones are kept by their number.
struct ConnectionHealth {
    static constexpr std::uint32_t kPeersKept = 32;

    std::uint32_t opened = 0;  // connections made (accepted, or connected to)
    std::uint32_t closed = 0;  // of those, ended: opened - closed is 1 while one is served
    // Connection n (counting from 1) at (n - 1) % kPeersKept, until connection n + kPeersKept.
    std::array<SocketAddress, kPeersKept> peers{};
    // Runs of failed attempts to connect (or accept): a run ends with a connection or with a
    // failure for another reason, so that a client retrying every second makes one run, not one
    // failure a second.
    std::uint32_t failureRuns = 0;
    std::uint32_t failureError = 0;  // the system's error that began the latest run
    std::uint32_t failedAttempts = 0;  // in all
    // Frames that found no connection to go to, or a connection that broke as they went.
    std::uint32_t droppedSends = 0;

    bool connected() const { return opened != closed; }
    SocketAddress& peer(std::uint32_t number) { return peers[(number - 1) % kPeersKept]; }
    const SocketAddress& peer(std::uint32_t number) const { return peers[(number - 1) % kPeersKept]; }

    friend bool operator==(const ConnectionHealth&, const ConnectionHealth&) = default;
};

// What a port has learned besides its bytes; plain values, so the service thread can copy it
// every cycle without allocating.
struct PortHealth {
    // The system's error number (errno; GetLastError on Windows) once the device has gone away,
    // such as an unplugged USB adapter; 0 while it is there. The port has closed its handle by
    // then and reads and writes nothing more.
    std::uint32_t lostError = 0;
    // Datagrams the system dropped because the socket's receive buffer was full, since the port
    // opened, as of the last datagram read. It wraps around; only Linux counts them.
    std::uint32_t droppedDatagrams = 0;
    // TCP ports only.
    ConnectionHealth connections{};

    friend bool operator==(const PortHealth&, const PortHealth&) = default;
};

class HdlcLibrary;

// What opening ports needs besides their options: the board library, loaded at most once
// per process (the owner keeps this for the process; the first board port makes it when
// it is empty), and the language of the messages.
struct PortContext {
    std::shared_ptr<HdlcLibrary> hdlcLibrary;
    Language language = Language::English;
};

// One open port of any kind; closes itself. Reads never block and writes are started
// in the background: one frame in flight at most, watched through writeFinished().
class OpenPort {
public:
    OpenPort(OpenPort&&) noexcept;
    OpenPort& operator=(OpenPort&&) noexcept;
    ~OpenPort();

    PortKind kind() const;

    // Reads what is already there into the buffer (kMaxFrameLength bytes): the queued serial
    // bytes, one board frame or one datagram. Returns the byte count, 0 when nothing came.
    // Serial reads store the line error flags in status; UDP reads store the sender.
    std::size_t read(std::span<std::uint8_t> buffer, std::uint32_t& status, SocketAddress& sender);

    // Starts sending one frame; UDP sends at once to the destination.
    void write(std::span<const std::uint8_t> data, const SocketAddress& destination);

    // Tests without waiting whether no write is in progress; a true answer consumes the
    // completion, like a test of an auto-reset event. True before the first write.
    bool writeFinished();

    PortHealth health() const;

    // What to wait on for this port's next data; none for a port that can only be polled (a
    // board channel) or has nothing to read from (lost, or a client still connecting). It may
    // change after any read or write.
    platform::WaitSource waitSource() const;

    struct Impl;
    explicit OpenPort(std::unique_ptr<Impl> impl);

private:
    std::unique_ptr<Impl> impl_;
};

struct OpenedPort {
    std::u16string environmentName;
    OpenPort port;
};

// A port that could not be opened; the text is the user-facing "Can't open" message, followed
// on a line of its own by the system's reason when there is one.
class PortOpenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "Can't open " + name, or name + " を開けません。" in Japanese; UTF-8.
std::string cantOpenMessage(std::u16string_view portName, Language language);

// Opens a usable port; none when the open fails (with the system's reason where it gave one)
// or the port is not usable.
Opening<OpenPort> openPort(const PortOptions& options, PortContext& context);

// One environment's port as openAllPorts takes it.
struct PortToOpen {
    std::u16string environmentName;
    PortOptions options;
};

// Opens every usable port in list order, appending to opened; the first that fails throws
// PortOpenError (the ports already opened stay in the list).
void openAllPorts(std::span<const PortToOpen> ports, PortContext& context, std::vector<OpenedPort>& opened);

// The remote endpoint of a UDP port that has one, else the last sender.
SocketAddress udpDestination(const SocketAddress& lastSender, const PortOptions& options);

}  // namespace orvalix
