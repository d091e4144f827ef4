#include "core/ports/udp_endpoint.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace orvalix {
namespace {

struct EndpointCase {
    std::u16string_view text;
    int result;
    std::uint32_t address;
    std::uint16_t port;
};

constexpr std::uint32_t kLoopback = 0x7F000001;
constexpr std::uint32_t kTenOneAddress = 0x0A000001;

// Dotted addresses only: no name lookup, so no network is needed.
const EndpointCase kCases[] = {
    {u"127.0.0.1:5000", 0, kLoopback, 5000},
    {u":5000", 0, kLoopback, 5000},                 // empty host is the loopback address
    {u"10.0.0.1:5000:9", 0, kTenOneAddress, 5000},  // parts after the port are ignored
    {u"10.0.0.1:70000", 0, kTenOneAddress, 4464},   // low 16 bits of the number
    {u"10.0.0.1:65535", 0, kTenOneAddress, 65535},
    {u"10.0.0.1:65536", 0, kTenOneAddress, 0},
    {u"10.0.0.1:abc", 0, kTenOneAddress, 0},        // no digits reads as 0
    {u"10.0.0.1:", 0, kTenOneAddress, 0},
    {u"10.0.0.1:42abc", 0, kTenOneAddress, 42},     // digits up to the first non-digit
    {u"10.0.0.1: \t42", 0, kTenOneAddress, 42},     // leading white space
    {u"10.0.0.1:+42", 0, kTenOneAddress, 42},
    {u"10.0.0.1:-0", 0, kTenOneAddress, 0},         // minus zero is not negative
    {u"10.0.0.1:007", 0, kTenOneAddress, 7},        // base 10, not octal
    {u"10.0.0.1:0x10", 0, kTenOneAddress, 0},       // base 10, not hexadecimal
    {u"10.0.0.1:99999999999999999999999", 0, kTenOneAddress, 0xFFFF},  // saturates
    {u"10.0.0.1:2147483648", 0, kTenOneAddress, 0xFFFF},
    {u"10.0.0.1:2147483647", 0, kTenOneAddress, 0xFFFF},
    {u"10.0.0.1:2147418112", 0, kTenOneAddress, 0},  // 0x7FFF0000 still reads exactly
    {u"10.0.0.1:-1", -1, 0, 0},
    {u"10.0.0.1:-99999999999999999999999", -1, 0, 0},
    {u"10.0.0.1", -1, 0, 0},  // no colon
    {u"COM3", -1, 0, 0},
    {u"FBIHDLC1", -1, 0, 0},
    {u"", -1, 0, 0},
};

TEST(ParseUdpEndpoint, HostAndPortRules) {
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(c.text)));
        UdpEndpoint endpoint{0xDEADBEEF, 1234};  // a failed parse must clear old values
        EXPECT_EQ(parseUdpEndpoint(c.text, endpoint), c.result);
        EXPECT_EQ(endpoint.address, c.address);
        EXPECT_EQ(endpoint.port, c.port);
    }
}

TEST(ParseUdpEndpoint, HostNameIsResolvedToLoopback) {
    UdpEndpoint endpoint;
    ASSERT_EQ(parseUdpEndpoint(u"localhost:5000", endpoint), 0);
    EXPECT_EQ(endpoint.address >> 24, 127u);  // somewhere in 127.0.0.0/8
    EXPECT_EQ(endpoint.port, 5000);
}

}  // namespace
}  // namespace orvalix
