#include "core/capture/packet_headers.hpp"

namespace orvalix {
namespace {

constexpr std::uint8_t kVersion4HeaderWords5 = 0x45;
constexpr std::uint16_t kDontFragment = 0x4000;
constexpr std::uint8_t kTimeToLive = 64;
constexpr std::uint8_t kProtocolTcp = 6;
constexpr std::uint8_t kProtocolUdp = 17;
constexpr std::uint8_t kTcpHeaderWords5 = 0x50;
constexpr std::uint8_t kTcpPushAck = 0x18;
constexpr std::uint16_t kTcpWindow = 0xFFFF;

void put16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    put16(out, static_cast<std::uint16_t>(value >> 16));
    put16(out, static_cast<std::uint16_t>(value));
}

void appendIpv4Header(std::vector<std::uint8_t>& out, std::uint8_t protocol, UdpEndpoint source,
                      UdpEndpoint destination, std::size_t length) {
    const std::size_t start = out.size();
    out.push_back(kVersion4HeaderWords5);
    out.push_back(0);  // type of service
    put16(out, static_cast<std::uint16_t>(length));
    put16(out, 0);  // identification: never fragmented
    put16(out, kDontFragment);
    out.push_back(kTimeToLive);
    out.push_back(protocol);
    put16(out, 0);  // the checksum, filled in below
    put32(out, source.address);
    put32(out, destination.address);
    const std::uint16_t checksum = internetChecksum(std::span(out).subspan(start, kIpv4HeaderSize));
    out[start + 10] = static_cast<std::uint8_t>(checksum >> 8);
    out[start + 11] = static_cast<std::uint8_t>(checksum);
}

}  // namespace

std::uint16_t internetChecksum(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const std::uint32_t low = i + 1 < bytes.size() ? bytes[i + 1] : 0;
        sum += static_cast<std::uint32_t>(bytes[i]) << 8 | low;
    }
    while (sum > 0xFFFF) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<std::uint16_t>(~sum);
}

void appendIpv4UdpHeaders(std::vector<std::uint8_t>& out, UdpEndpoint source, UdpEndpoint destination,
                          std::size_t payloadLength) {
    appendIpv4Header(out, kProtocolUdp, source, destination, kIpv4HeaderSize + kUdpHeaderSize + payloadLength);
    put16(out, source.port);
    put16(out, destination.port);
    put16(out, static_cast<std::uint16_t>(kUdpHeaderSize + payloadLength));
    put16(out, 0);  // no checksum
}

void appendIpv4TcpHeaders(std::vector<std::uint8_t>& out, UdpEndpoint source, UdpEndpoint destination,
                          TcpNumbers numbers, std::size_t payloadLength) {
    appendIpv4Header(out, kProtocolTcp, source, destination, kIpv4HeaderSize + kTcpHeaderSize + payloadLength);
    put16(out, source.port);
    put16(out, destination.port);
    put32(out, numbers.sequence);
    put32(out, numbers.acknowledgment);
    out.push_back(kTcpHeaderWords5);
    out.push_back(kTcpPushAck);
    put16(out, kTcpWindow);
    put16(out, 0);  // checksum
    put16(out, 0);  // urgent pointer
}

TcpNumbers TcpSequences::next(UdpEndpoint peer, bool inbound, std::size_t length) {
    Streams& streams = streams_[{peer.address, peer.port}];
    std::uint32_t& sending = inbound ? streams.inbound : streams.outbound;
    const std::uint32_t receiving = inbound ? streams.outbound : streams.inbound;
    const TcpNumbers numbers{sending, receiving};
    sending += static_cast<std::uint32_t>(length);
    return numbers;
}

}  // namespace orvalix
