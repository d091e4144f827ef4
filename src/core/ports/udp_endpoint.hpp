#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace orvalix {

struct UdpEndpoint {
    std::uint32_t address = 0;  // IPv4, host byte order
    std::uint16_t port = 0;

    friend bool operator==(const UdpEndpoint&, const UdpEndpoint&) = default;
};

// Parses host:port; an empty host is 127.0.0.1; the host is resolved by name. Nothing when the
// text has no port, a negative one, or a host that does not resolve.
std::optional<UdpEndpoint> parseUdpEndpoint(std::u16string_view text);

}  // namespace orvalix
