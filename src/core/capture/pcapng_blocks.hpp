#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace orvalix::pcapng {

// Link types of the interfaces we describe.
inline constexpr std::uint16_t kLinkTypeIpv4 = 228;
inline constexpr std::uint16_t kLinkTypeUser0 = 147;
inline constexpr std::uint16_t kLinkTypeUser1 = 148;

// The block encoders append one whole block, little-endian, its body and every option padded
// to 32 bits, so a reader on any host sees the same file.

// The section header: version 1.0, section length unknown.
void appendSectionHeader(std::vector<std::uint8_t>& out, std::string_view application);

// Interface names and descriptions are UTF-8. Time stamps are in 100 ns units (if_tsresol 7).
struct InterfaceDescription {
    std::uint16_t linkType = 0;
    std::string_view name;
    std::string_view description;
};
void appendInterfaceDescription(std::vector<std::uint8_t>& out, const InterfaceDescription& interface);

struct EnhancedPacket {
    std::uint32_t interfaceId = 0;
    std::uint64_t timestamp = 0;  // 100 ns since 1970
    std::span<const std::uint8_t> packet;
    bool inbound = false;
    std::string_view comment;  // none when empty
};
void appendEnhancedPacket(std::vector<std::uint8_t>& out, const EnhancedPacket& packet);

struct InterfaceStatistics {
    std::uint32_t interfaceId = 0;
    std::uint64_t timestamp = 0;  // 100 ns since 1970
    std::uint64_t dropped = 0;    // isb_ifdrop
    std::string_view comment;
};
void appendInterfaceStatistics(std::vector<std::uint8_t>& out, const InterfaceStatistics& statistics);

// A FILETIME (100 ns since 1601) as 100 ns since 1970; 0 for a time before 1970.
std::uint64_t unixTime100ns(std::uint64_t fileTime);

}  // namespace orvalix::pcapng
