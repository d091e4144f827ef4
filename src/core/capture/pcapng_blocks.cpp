#include "core/capture/pcapng_blocks.hpp"

#include <cstddef>

namespace orvalix::pcapng {
namespace {

constexpr std::uint32_t kSectionHeaderType = 0x0A0D0D0A;
constexpr std::uint32_t kInterfaceDescriptionType = 1;
constexpr std::uint32_t kInterfaceStatisticsType = 5;
constexpr std::uint32_t kEnhancedPacketType = 6;
constexpr std::uint32_t kByteOrderMagic = 0x1A2B3C4D;

constexpr std::uint16_t kOptEndOfOpt = 0;
constexpr std::uint16_t kOptComment = 1;
constexpr std::uint16_t kShbUserAppl = 4;
constexpr std::uint16_t kIfName = 2;
constexpr std::uint16_t kIfDescription = 3;
constexpr std::uint16_t kIfTsresol = 9;
constexpr std::uint16_t kEpbFlags = 2;
constexpr std::uint16_t kIsbIfdrop = 5;

constexpr std::uint32_t kInbound = 1;
constexpr std::uint32_t kOutbound = 2;
constexpr std::uint8_t kTenthsOfMicroseconds = 7;

// 1601-01-01 to 1970-01-01 in 100 ns units.
constexpr std::uint64_t kFileTimeOfUnixEpoch = 116444736000000000ULL;

void put16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    put16(out, static_cast<std::uint16_t>(value));
    put16(out, static_cast<std::uint16_t>(value >> 16));
}

void put64(std::vector<std::uint8_t>& out, std::uint64_t value) {
    put32(out, static_cast<std::uint32_t>(value));
    put32(out, static_cast<std::uint32_t>(value >> 32));
}

// pcapng's 64-bit time stamps go high half first.
void putTimestamp(std::vector<std::uint8_t>& out, std::uint64_t value) {
    put32(out, static_cast<std::uint32_t>(value >> 32));
    put32(out, static_cast<std::uint32_t>(value));
}

void padTo32Bits(std::vector<std::uint8_t>& out) {
    while (out.size() % 4 != 0) {
        out.push_back(0);
    }
}

void putBytes(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void putOption(std::vector<std::uint8_t>& out, std::uint16_t code, std::span<const std::uint8_t> value) {
    put16(out, code);
    put16(out, static_cast<std::uint16_t>(value.size()));
    putBytes(out, value);
    padTo32Bits(out);
}

void putTextOption(std::vector<std::uint8_t>& out, std::uint16_t code, std::string_view text) {
    if (text.empty()) {
        return;  // an option may not be empty; none says the same
    }
    // Option lengths are 16-bit: a longer text is cut.
    const std::size_t length = text.size() < 0xFFFC ? text.size() : 0xFFFC;
    putOption(out, code, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), length));
}

void putEndOfOptions(std::vector<std::uint8_t>& out) {
    put16(out, kOptEndOfOpt);
    put16(out, 0);
}

// Options whose value is one number: no padding, the value fills whole 32-bit words.
void putOption32(std::vector<std::uint8_t>& out, std::uint16_t code, std::uint32_t value) {
    put16(out, code);
    put16(out, static_cast<std::uint16_t>(sizeof value));
    put32(out, value);
}

void putOption64(std::vector<std::uint8_t>& out, std::uint16_t code, std::uint64_t value) {
    put16(out, code);
    put16(out, static_cast<std::uint16_t>(sizeof value));
    put64(out, value);
}

// One block: its type, its length before and after what fill() puts in, and the end of its
// options.
template <typename Fill>
void appendBlock(std::vector<std::uint8_t>& out, std::uint32_t type, Fill fill) {
    const std::size_t start = out.size();
    put32(out, type);
    put32(out, 0);  // the length, filled in below
    fill();
    putEndOfOptions(out);
    const auto total = static_cast<std::uint32_t>(out.size() - start + 4);
    put32(out, total);
    for (std::size_t i = 0; i < 4; ++i) {
        out[start + 4 + i] = static_cast<std::uint8_t>(total >> (8 * i));
    }
}

}  // namespace

void appendSectionHeader(std::vector<std::uint8_t>& out, std::string_view application) {
    appendBlock(out, kSectionHeaderType, [&] {
        put32(out, kByteOrderMagic);
        put16(out, 1);
        put16(out, 0);
        put64(out, ~std::uint64_t{0});  // section length not given
        putTextOption(out, kShbUserAppl, application);
    });
}

void appendInterfaceDescription(std::vector<std::uint8_t>& out, const InterfaceDescription& interface) {
    appendBlock(out, kInterfaceDescriptionType, [&] {
        put16(out, interface.linkType);
        put16(out, 0);
        put32(out, 0);  // no snap length: records are kept whole
        putTextOption(out, kIfName, interface.name);
        putTextOption(out, kIfDescription, interface.description);
        const std::uint8_t resolution[] = {kTenthsOfMicroseconds};
        putOption(out, kIfTsresol, resolution);
    });
}

void appendEnhancedPacket(std::vector<std::uint8_t>& out, const EnhancedPacket& packet) {
    appendBlock(out, kEnhancedPacketType, [&] {
        put32(out, packet.interfaceId);
        putTimestamp(out, packet.timestamp);
        put32(out, static_cast<std::uint32_t>(packet.packet.size()));
        put32(out, static_cast<std::uint32_t>(packet.packet.size()));
        putBytes(out, packet.packet);
        padTo32Bits(out);
        putTextOption(out, kOptComment, packet.comment);
        putOption32(out, kEpbFlags, packet.inbound ? kInbound : kOutbound);
    });
}

void appendInterfaceStatistics(std::vector<std::uint8_t>& out, const InterfaceStatistics& statistics) {
    appendBlock(out, kInterfaceStatisticsType, [&] {
        put32(out, statistics.interfaceId);
        putTimestamp(out, statistics.timestamp);
        putTextOption(out, kOptComment, statistics.comment);
        putOption64(out, kIsbIfdrop, statistics.dropped);
    });
}

std::uint64_t unixTime100ns(std::uint64_t fileTime) {
    return fileTime < kFileTimeOfUnixEpoch ? 0 : fileTime - kFileTimeOfUnixEpoch;
}

}  // namespace orvalix::pcapng
