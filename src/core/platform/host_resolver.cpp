#include "core/platform/host_resolver.hpp"

#include "core/platform/host_lookup.hpp"

namespace orvalix::platform {

// On its own in this file: the fuzz build links an offline resolveIPv4 in its place.
std::optional<std::uint32_t> resolveIPv4(const std::string& host) {
    return lookupIPv4(host, HostLookup::numericOrName);
}

}  // namespace orvalix::platform
