#include "core/ports/udp_endpoint.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>

namespace orvalix {
namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;
constexpr std::uint32_t kTen = 0x0A000001;  // 10.0.0.1

TEST(ParseUdpEndpoint, HostAndPortRules) {
    // Dotted addresses only, so no network is needed. An empty host is the loopback address;
    // parts after the port are ignored; the port is read in base 10 up to the first non-digit,
    // saturated to 32 bits and cut to its low 16 bits; a negative port fails.
    // clang-format off
    const std::tuple<std::u16string_view, int, std::uint32_t, std::uint16_t> cases[] = {
        {u"127.0.0.1:5000", 0, kLoopback, 5000}, {u":5000", 0, kLoopback, 5000},
        {u"10.0.0.1:5000:9", 0, kTen, 5000},     {u"10.0.0.1:70000", 0, kTen, 4464},
        {u"10.0.0.1:65535", 0, kTen, 65535},     {u"10.0.0.1:65536", 0, kTen, 0},
        {u"10.0.0.1:abc", 0, kTen, 0},           {u"10.0.0.1:", 0, kTen, 0},
        {u"10.0.0.1:42abc", 0, kTen, 42},        {u"10.0.0.1: \t42", 0, kTen, 42},
        {u"10.0.0.1:+42", 0, kTen, 42},          {u"10.0.0.1:-0", 0, kTen, 0},
        {u"10.0.0.1:007", 0, kTen, 7},           {u"10.0.0.1:0x10", 0, kTen, 0},
        {u"10.0.0.1:99999999999999999999999", 0, kTen, 0xFFFF}, {u"10.0.0.1:2147483648", 0, kTen, 0xFFFF},
        {u"10.0.0.1:2147483647", 0, kTen, 0xFFFF}, {u"10.0.0.1:2147418112", 0, kTen, 0},  // 0x7FFF0000
        {u"10.0.0.1:-1", -1, 0, 0},              {u"10.0.0.1:-99999999999999999999999", -1, 0, 0},
        {u"10.0.0.1", -1, 0, 0},                 {u"COM3", -1, 0, 0},
        {u"FBIHDLC1", -1, 0, 0},                 {u"", -1, 0, 0},
    };
    // clang-format on
    for (const auto& [text, result, address, port] : cases) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(text)));
        const std::optional<UdpEndpoint> endpoint = parseUdpEndpoint(text);
        EXPECT_EQ(endpoint.has_value(), result == 0);
        EXPECT_EQ(endpoint.value_or(UdpEndpoint{}), (UdpEndpoint{address, static_cast<std::uint16_t>(port)}));
    }
}

TEST(ParseUdpEndpoint, HostNameIsResolved) {
    const std::optional<UdpEndpoint> endpoint = parseUdpEndpoint(u"localhost:5000");
    ASSERT_TRUE(endpoint);
    EXPECT_EQ(endpoint->address >> 24, 127u);  // somewhere in 127.0.0.0/8
    EXPECT_EQ(endpoint->port, 5000);
}

}  // namespace
}  // namespace orvalix
