// Takes the place of the platform's resolver in every fuzzer: endpoint texts from fuzzed
// files must not turn into DNS queries. Numeric forms still go through getaddrinfo, so the
// address parsing is the real one.
#include "core/platform/host_lookup.hpp"
#include "core/platform/host_resolver.hpp"

namespace orvalix::platform {

std::optional<std::uint32_t> resolveIPv4(const std::string& host) {
    if (host == "localhost") {
        return 0x7F000001;  // 127.0.0.1
    }
    return lookupIPv4(host, HostLookup::numericOnly);
}

}  // namespace orvalix::platform
