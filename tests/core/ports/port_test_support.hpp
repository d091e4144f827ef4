#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/ports/parse_port_options.hpp"
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

}  // namespace orvalix::test
