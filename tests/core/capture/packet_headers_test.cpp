#include "core/capture/packet_headers.hpp"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace orvalix {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr UdpEndpoint kLocal{0x7F000001, 50101};   // 127.0.0.1:50101
constexpr UdpEndpoint kRemote{0x0A000002, 502};    // 10.0.0.2:502

TEST(PacketHeaders, TheInternetChecksumIsTheComplementedOnesComplementSum) {
    struct Case {
        const char* rule;
        Bytes bytes;
        std::uint16_t checksum;
    };
    const Case cases[] = {
        {"a textbook IPv4 header with its field 0",
         {0x45, 0, 0, 0x73, 0, 0, 0x40, 0, 0x40, 0x11, 0, 0, 0xC0, 0xA8, 0, 1, 0xC0, 0xA8, 0, 0xC7}, 0xB861},
        {"the same header with the field filled in sums to 0",
         {0x45, 0, 0, 0x73, 0, 0, 0x40, 0, 0x40, 0x11, 0xB8, 0x61, 0xC0, 0xA8, 0, 1, 0xC0, 0xA8, 0, 0xC7}, 0},
        {"carries out of 16 bits wrap around", {0xFF, 0xFF, 0x00, 0x02}, 0xFFFD},
        {"an odd last byte is the high half of a word", {0x12}, 0xEDFF},
    };
    for (const Case& c : cases) EXPECT_EQ(internetChecksum(c.bytes), c.checksum) << c.rule;
}

TEST(PacketHeaders, UdpAndTcpGoInsideAnIpv4HeaderWithTheRealEndpoints) {
    struct Case {
        const char* rule;
        bool tcp;
        UdpEndpoint source, destination;
        Bytes expected;
    };
    const Case cases[] = {
        {"UDP: protocol 17, total and UDP lengths count the 6 payload bytes, checksum 0", false, kLocal, kRemote,
         {0x45, 0, 0, 34, 0, 0, 0x40, 0, 64, 17, 0xB1, 0xC8, 127, 0, 0, 1, 10, 0, 0, 2,  //
          0xC3, 0xB5, 0x01, 0xF6, 0, 14, 0, 0}},
        {"TCP: protocol 6, sequence and acknowledgment, PSH|ACK, 20-byte header", true, kRemote, kLocal,
         {0x45, 0, 0, 46, 0, 0, 0x40, 0, 64, 6, 0xB1, 0xC7, 10, 0, 0, 2, 127, 0, 0, 1,  //
          0x01, 0xF6, 0xC3, 0xB5, 0x01, 0x02, 0x03, 0x04, 0, 0, 0, 9, 0x50, 0x18, 0xFF, 0xFF, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        Bytes out{0xEE};  // headers are appended; the checksum covers only the IPv4 header
        if (c.tcp) {
            appendIpv4TcpHeaders(out, c.source, c.destination, {0x01020304, 9}, 6);
        } else {
            appendIpv4UdpHeaders(out, c.source, c.destination, 6);
        }
        EXPECT_EQ(Bytes(out.begin() + 1, out.end()), c.expected);
        EXPECT_EQ(internetChecksum(std::span(out).subspan(1, kIpv4HeaderSize)), 0);
    }
}

TEST(PacketHeaders, TcpSequenceNumbersFollowEachDirectionOfEachPeer) {
    const UdpEndpoint other{0x0A000003, 502};
    struct Step {
        const char* rule;
        UdpEndpoint peer;
        bool inbound;
        std::size_t length;
        TcpNumbers numbers;
    };
    const Step steps[] = {
        {"both directions start at 1", kRemote, true, 12, {1, 1}},
        {"the reply acknowledges the 12 bytes received", kRemote, false, 11, {1, 13}},
        {"the next request follows the first", kRemote, true, 12, {13, 12}},
        {"another peer has streams of its own", other, true, 5, {1, 1}},
        {"the first peer's reply follows its first reply", kRemote, false, 3, {12, 25}},
        {"an empty segment moves nothing", kRemote, true, 0, {25, 15}},
        {"so the next segment starts where the empty one did", kRemote, true, 1, {25, 15}},
    };
    TcpSequences sequences;
    for (const Step& s : steps) {
        const TcpNumbers numbers = sequences.next(s.peer, s.inbound, s.length);
        EXPECT_EQ(std::tuple(numbers.sequence, numbers.acknowledgment),
                  std::tuple(s.numbers.sequence, s.numbers.acknowledgment))
            << s.rule;
    }
}

}  // namespace
}  // namespace orvalix
