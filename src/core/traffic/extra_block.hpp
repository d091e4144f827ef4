#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace orvalix {

// The fixed-size block that travels with every traffic record: the attribute word
// (little-endian), then the mark bits and the trigger bits, one bit per named condition.
inline constexpr std::uint32_t kReceivedAttribute = 0x80000000u;
// A record that a fault of the environment's fault file touched: bit 30, and the fault's
// 1-based row among the file's rules in bits 16 to 29.
inline constexpr std::uint32_t kFaultAttribute = 0x40000000u;
inline constexpr std::uint32_t faultAttribute(std::size_t ruleIndex) {
    return kFaultAttribute | (static_cast<std::uint32_t>(std::min<std::size_t>(ruleIndex + 1, 0x3FFF)) << 16);
}
// The index of the rule that touched the record, when one did.
inline constexpr std::optional<std::size_t> faultRuleIndex(std::uint32_t word) {
    if ((word & kFaultAttribute) == 0 || ((word >> 16) & 0x3FFF) == 0) {
        return std::nullopt;
    }
    return static_cast<std::size_t>((word >> 16) & 0x3FFF) - 1;
}

// 2 * ceil(n / 8) + 4, rounded up to a multiple of 4.
std::size_t extraBlockSize(std::size_t namedConditionCount);

// The first 4 bytes; 0 when the block is shorter.
std::uint32_t attribute(std::span<const std::uint8_t> extra);
void setAttribute(std::span<std::uint8_t> extra, std::uint32_t value);

// A bit outside the condition count or outside the block reads as clear and is not written.
bool markBit(std::span<const std::uint8_t> extra, std::size_t namedConditionCount, std::size_t condition);
void setMarkBit(std::span<std::uint8_t> extra, std::size_t namedConditionCount, std::size_t condition);
bool triggerBit(std::span<const std::uint8_t> extra, std::size_t namedConditionCount, std::size_t condition);
void setTriggerBit(std::span<std::uint8_t> extra, std::size_t namedConditionCount, std::size_t condition);

}  // namespace orvalix
