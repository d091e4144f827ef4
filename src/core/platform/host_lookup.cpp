#include "core/platform/host_lookup.hpp"

// getaddrinfo has the same names on both systems; only the headers that declare it differ,
// and the build puts the platform's folder on the include path for this one.
#include "address_info.hpp"

#include <cstring>
#include <memory>

namespace orvalix::platform {
namespace {

struct AddressListDeleter {
    void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};

}  // namespace

std::optional<std::uint32_t> lookupIPv4(const std::string& host, HostLookup lookup) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    if (lookup == HostLookup::numericOnly) {
        hints.ai_flags = AI_NUMERICHOST;
    }
    addrinfo* raw = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &raw) != 0 || raw == nullptr) {
        return std::nullopt;
    }
    const std::unique_ptr<addrinfo, AddressListDeleter> list(raw);
    if (list->ai_family != AF_INET || list->ai_addr == nullptr || list->ai_addrlen < sizeof(sockaddr_in)) {
        return std::nullopt;
    }
    sockaddr_in address{};
    std::memcpy(&address, list->ai_addr, sizeof address);
    return ntohl(address.sin_addr.s_addr);
}

}  // namespace orvalix::platform
