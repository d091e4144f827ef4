#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/ports/udp_socket.hpp"
#include "core/project/project.hpp"
#include "core/text/text_conversion.hpp"

namespace orvalix::test {

inline constexpr std::uint32_t kLoopback = 0x7F000001;

// An environment table: a header row, then one row per setting with its value in column 2.
inline PortSettings settingsOf(const std::vector<std::u16string>& values) {
    PortSettings settings;
    settings.table.push_back({u"Item", u"Description", u"Value"});
    for (const auto& value : values) {
        settings.table.push_back({u"label", u"text", value});
    }
    return settings;
}

// A UDP port on the loopback address, as the loader leaves it after parsing the endpoints.
inline PortSettings udpSettings(std::uint16_t localPort,
                                std::optional<std::uint16_t> remotePort = std::nullopt) {
    PortSettings settings = settingsOf({toWide("127.0.0.1:" + std::to_string(localPort))});
    settings.localEndpointValid = true;
    settings.localAddress = kLoopback;
    settings.localPort = localPort;
    if (remotePort) {
        settings.remoteEndpointValid = true;
        settings.remoteAddress = kLoopback;
        settings.remotePort = *remotePort;
    }
    return settings;
}

// A loopback port nobody uses right now (the system picks it for a probe socket).
inline std::uint16_t freeUdpPort() {
    const auto probe = UdpSocket::bind(kLoopback, 0);
    return probe ? probe->localPort() : 0;
}

// Calls read until it delivers something; loopback datagrams arrive at once, the bound
// only keeps a broken port from hanging the test.
template <typename Read>
auto readWhenArrived(Read read) {
    for (int attempt = 0; attempt < 2000; ++attempt) {
        if (auto result = read(); result != decltype(result){}) {
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return decltype(read()){};
}

}  // namespace orvalix::test
