#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace orvalix {

// The fixed-size block that travels with every traffic record: the attribute word
// (little-endian), then the mark bits and the trigger bits, one bit per named condition.
inline constexpr std::uint32_t kReceivedAttribute = 0x80000000u;

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
