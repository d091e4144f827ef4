#include "core/traffic/extra_block.hpp"

#include <optional>

namespace orvalix {
namespace {

constexpr std::size_t kAttributeSize = 4;

std::size_t bitSetSize(std::size_t namedConditionCount) { return (namedConditionCount + 7) / 8; }

// Where a condition's bit lives: the byte offset inside the block and the mask.
struct BitPlace {
    std::size_t offset = 0;
    std::uint8_t mask = 0;
};

std::optional<BitPlace> bitPlace(std::size_t blockSize, std::size_t setOffset, std::size_t namedConditionCount,
                                 std::size_t condition) {
    if (condition >= namedConditionCount) {
        return std::nullopt;
    }
    const std::size_t offset = setOffset + condition / 8;
    if (offset >= blockSize) {
        return std::nullopt;
    }
    return BitPlace{offset, static_cast<std::uint8_t>(1u << (condition % 8))};
}

constexpr std::size_t kMarkSetOffset = kAttributeSize;
std::size_t triggerSetOffset(std::size_t namedConditionCount) {
    return kAttributeSize + bitSetSize(namedConditionCount);
}

bool readBit(std::span<const std::uint8_t> extra, std::size_t setOffset, std::size_t namedConditionCount,
             std::size_t condition) {
    const auto place = bitPlace(extra.size(), setOffset, namedConditionCount, condition);
    return place && (extra[place->offset] & place->mask) != 0;
}

void writeBit(std::span<std::uint8_t> extra, std::size_t setOffset, std::size_t namedConditionCount,
              std::size_t condition) {
    if (const auto place = bitPlace(extra.size(), setOffset, namedConditionCount, condition)) {
        extra[place->offset] = static_cast<std::uint8_t>(extra[place->offset] | place->mask);
    }
}

}  // namespace

std::size_t extraBlockSize(std::size_t namedConditionCount) {
    const std::size_t used = kAttributeSize + 2 * bitSetSize(namedConditionCount);
    return (used + 3) / 4 * 4;
}

std::uint32_t attribute(std::span<const std::uint8_t> extra) {
    if (extra.size() < kAttributeSize) {
        return 0;
    }
    return static_cast<std::uint32_t>(extra[0]) | static_cast<std::uint32_t>(extra[1]) << 8 |
           static_cast<std::uint32_t>(extra[2]) << 16 | static_cast<std::uint32_t>(extra[3]) << 24;
}

void setAttribute(std::span<std::uint8_t> extra, std::uint32_t value) {
    if (extra.size() < kAttributeSize) {
        return;
    }
    for (std::size_t i = 0; i < kAttributeSize; ++i) {
        extra[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

bool markBit(std::span<const std::uint8_t> extra, std::size_t namedConditionCount, std::size_t condition) {
    return readBit(extra, kMarkSetOffset, namedConditionCount, condition);
}

void setMarkBit(std::span<std::uint8_t> extra, std::size_t namedConditionCount, std::size_t condition) {
    writeBit(extra, kMarkSetOffset, namedConditionCount, condition);
}

bool triggerBit(std::span<const std::uint8_t> extra, std::size_t namedConditionCount, std::size_t condition) {
    return readBit(extra, triggerSetOffset(namedConditionCount), namedConditionCount, condition);
}

void setTriggerBit(std::span<std::uint8_t> extra, std::size_t namedConditionCount, std::size_t condition) {
    writeBit(extra, triggerSetOffset(namedConditionCount), namedConditionCount, condition);
}

}  // namespace orvalix
