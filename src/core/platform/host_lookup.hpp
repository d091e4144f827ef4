#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orvalix::platform {

enum class HostLookup {
    numericOrName,  // a host name may go to the system's resolver (DNS, hosts file)
    numericOnly,    // only a dotted address; never a query
};

// First IPv4 address of host, in host byte order.
std::optional<std::uint32_t> lookupIPv4(const std::string& host, HostLookup lookup);

}  // namespace orvalix::platform
