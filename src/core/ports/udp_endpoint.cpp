#include "core/ports/udp_endpoint.hpp"

#include "core/platform/host_resolver.hpp"
#include "core/text/text_conversion.hpp"
#include "core/text/text_split.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvalix {
namespace {

// The numbers strtol(text, nullptr, 10) gives where long has 32 bits, as on the Windows
// build: leading white space and a sign, then the leading digits, saturating on overflow.
std::int64_t readLong(std::string_view text) {
    constexpr std::int64_t kLongMax = 0x7FFFFFFF;
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        // Capped at one past the largest long: the smallest long is still reachable.
        magnitude = std::min(magnitude * 10 + (text[i] - '0'), kLongMax + 1);
    }
    if (negative) {
        return -magnitude;
    }
    return std::min(magnitude, kLongMax);
}

}  // namespace

std::optional<UdpEndpoint> parseUdpEndpoint(std::u16string_view text) {
    std::vector<std::u16string> wideParts;
    splitText(text, u":", wideParts);
    if (wideParts.size() < 2) {
        return std::nullopt;
    }
    std::string host = toNarrow(wideParts[0]);
    if (host.empty()) {
        host = "127.0.0.1";
    }
    const std::int64_t port = readLong(toNarrow(wideParts[1]));
    if (port < 0) {
        return std::nullopt;
    }
    const std::optional<std::uint32_t> address = platform::resolveIPv4(host);
    if (!address) {
        return std::nullopt;
    }
    return UdpEndpoint{*address, static_cast<std::uint16_t>(port & 0xFFFF)};
}

}  // namespace orvalix
