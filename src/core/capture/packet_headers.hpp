#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <utility>
#include <vector>

#include "core/ports/udp_endpoint.hpp"

namespace orvalix {

// The headers that let a packet analyser dissect a UDP or TCP record as if it had been taken
// off the wire: an IPv4 header (its checksum right) and a UDP or TCP header (checksum 0, which
// analysers do not verify by default). Multi-byte fields in network byte order.

inline constexpr std::size_t kIpv4HeaderSize = 20;
inline constexpr std::size_t kUdpHeaderSize = 8;
inline constexpr std::size_t kTcpHeaderSize = 20;

// The ones' complement sum of the header's 16-bit words, complemented: what goes into the
// IPv4 checksum field (while that field is 0), and 0 over a header whose field is right.
std::uint16_t internetChecksum(std::span<const std::uint8_t> bytes);

void appendIpv4UdpHeaders(std::vector<std::uint8_t>& out, UdpEndpoint source, UdpEndpoint destination,
                          std::size_t payloadLength);

struct TcpNumbers {
    std::uint32_t sequence = 0;
    std::uint32_t acknowledgment = 0;
};
// Flags PSH and ACK: every record is data the other end has seen all of the peer's bytes before.
void appendIpv4TcpHeaders(std::vector<std::uint8_t>& out, UdpEndpoint source, UdpEndpoint destination,
                          TcpNumbers numbers, std::size_t payloadLength);

// Sequence numbers per peer that follow each direction's byte stream, so that an analyser can
// reassemble what spans records. Both directions start at 1.
class TcpSequences {
public:
    // The numbers of a segment of length bytes to (outbound) or from the peer; the direction's
    // next sequence number then moves on by length.
    TcpNumbers next(UdpEndpoint peer, bool inbound, std::size_t length);

private:
    struct Streams {
        std::uint32_t outbound = 1;
        std::uint32_t inbound = 1;
    };
    std::map<std::pair<std::uint32_t, std::uint16_t>, Streams> streams_;
};

}  // namespace orvalix
