#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orvalix::platform {

// First IPv4 address of a dotted address or a host name, in host byte order.
std::optional<std::uint32_t> resolveIPv4(const std::string& host);

}  // namespace orvalix::platform
