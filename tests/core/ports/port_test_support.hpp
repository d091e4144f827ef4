#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "core/platform/error_text.hpp"
#include "core/ports/parse_port_options.hpp"
#include "core/ports/tcp_socket.hpp"
#include "core/ports/udp_socket.hpp"
#include "core/text/text_conversion.hpp"

namespace orvalix::test {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint32_t kLoopback = 0x7F000001;

inline Bytes bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

// Bytes that differ from position to position, so a lost, repeated or moved byte shows.
inline Bytes pattern(std::size_t length, std::uint8_t seed) {
    Bytes bytes(length);
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7 + i / 251);
    return bytes;
}

// An environment table: a header row, then one row per setting with its value in column 2.
inline CsvTable settingRows(const std::vector<std::u16string>& values) {
    CsvTable rows{{u"Item", u"Description", u"Value"}};
    for (const auto& value : values) rows.push_back({u"label", u"text", value});
    return rows;
}

// The port of such a table, as the loader reads it.
inline PortOptions settingsOf(const std::vector<std::u16string>& values) {
    return parsePortOptions(settingRows(values));
}

// A UDP port on the loopback address, as the loader reads it.
inline PortOptions udpSettings(std::uint16_t localPort, std::optional<std::uint16_t> remotePort = {}) {
    const std::string remote = remotePort ? "127.0.0.1:" + std::to_string(*remotePort) : "";
    std::vector<std::u16string> values(10);
    values[0] = toWide("127.0.0.1:" + std::to_string(localPort));
    values[9] = toWide(remote);
    return settingsOf(values);
}

// A loopback port nobody uses right now (the system picks it for a probe socket).
inline std::uint16_t freeUdpPort() { return UdpSocket::bind(kLoopback, 0).opened.value().localPort(); }

// Polls until done() holds; the bound only keeps a broken port from hanging the test.
template <typename Done>
bool eventually(Done done) {
    for (int attempt = 0; attempt < 5000; ++attempt) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// The system's number for a connection nobody listens for, as the sockets report it.
#ifdef _WIN32
inline constexpr std::uint32_t kRefused = 10061;  // WSAECONNREFUSED
#else
inline constexpr std::uint32_t kRefused = ECONNREFUSED;
#endif

// How a connection to the loopback port ended up, once it is no longer under way.
inline TcpConnectProgress finishedAttempt(std::uint16_t port) {
    TcpConnector connector = TcpConnector::start(kLoopback, port);
    TcpConnectProgress progress;
    eventually([&] { return (progress = connector.poll()).status != TcpConnectStatus::Connecting; });
    return progress;
}

// A client standing in for the equipment, connected once this returns.
inline TcpConnection connectTo(std::uint16_t port) {
    TcpConnectProgress progress = finishedAttempt(port);
    EXPECT_EQ(progress.status, TcpConnectStatus::Connected) << platform::systemErrorText(progress.error);
    return std::move(progress.connection).value();
}

inline TcpConnection acceptFrom(TcpListener& listener) {
    TcpAccepted accepted;
    eventually([&] { return (accepted = listener.accept()).connection.has_value(); });
    EXPECT_EQ(accepted.error, 0u);
    return std::move(accepted.connection).value();
}

// What arrives until `length` bytes came or the peer closed, in pieces of at most `piece`.
inline Bytes receive(TcpConnection& connection, std::size_t length, std::size_t piece = 4096) {
    Bytes got;
    Bytes buffer(piece);
    eventually([&] {
        const TcpReceiveResult result = connection.receive(buffer);
        got.insert(got.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(result.count));
        return got.size() >= length || result.status == TcpReceiveStatus::Closed;
    });
    return got;
}

// The stream holds frames 0, 1, ... of pattern(kMaxFrameLength, n), each whole and in order.
inline void expectFramesInOrder(const Bytes& stream, std::size_t frames) {
    ASSERT_EQ(stream.size(), frames * kMaxFrameLength);
    for (std::size_t n = 0; n < frames; ++n) {
        const auto from = stream.begin() + static_cast<std::ptrdiff_t>(n * kMaxFrameLength);
        ASSERT_EQ(Bytes(from, from + kMaxFrameLength), pattern(kMaxFrameLength, static_cast<std::uint8_t>(n)))
            << "frame " << n << " of " << frames;
    }
}

}  // namespace orvalix::test
