// Feeds an environment's endpoint cell ("host:port") to parseUdpEndpoint: UTF-8 text, or
// UTF-16LE units after an FF FE mark (lone surrogates included). Host names are resolved
// offline (see offline_host_resolver.cpp).
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/ports/udp_endpoint.hpp"
#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = orvalix::fuzz::decodeLikeDataFile(orvalix::fuzz::asText({data, size}));
    // Any text parses or fails without a fault; a parse always has its port in 16 bits.
    static_cast<void>(orvalix::parseUdpEndpoint(text));
    return 0;
}
