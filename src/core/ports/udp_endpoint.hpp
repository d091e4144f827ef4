#pragma once

#include <cstdint>
#include <string_view>

namespace orvalix {

struct UdpEndpoint {
    std::uint32_t address = 0;  // IPv4, host byte order
    std::uint16_t port = 0;

    friend bool operator==(const UdpEndpoint&, const UdpEndpoint&) = default;
};

// Parses host:port; an empty host is 127.0.0.1; the host is resolved by name.
// 0 on success, -1 on failure (address and port then 0).
int parseUdpEndpoint(std::u16string_view text, UdpEndpoint& endpoint);

}  // namespace orvalix
