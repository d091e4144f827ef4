#include "core/traffic/ring_memory.hpp"

#include <algorithm>

#include "core/bytes/byte_buffer.hpp"
#include "core/ports/port_options.hpp"
#include "core/text/text_conversion.hpp"
#include "core/traffic/extra_block.hpp"

namespace orvalix {
namespace {

// Stored length and the two halves of the time.
constexpr std::uint64_t kSlotHeaderSize = 12;

std::int32_t extraSizeOf(const Environment& environment) {
    return static_cast<std::int32_t>(extraBlockSize(environment.namedConditions.size()));
}

}  // namespace

std::uint64_t ringMemory(std::int32_t capacity, std::int32_t maxLength, std::int32_t extraSize) {
    if (capacity < 1 || maxLength < 1) {
        return 0;
    }
    // At most 2^31 slots of less than 2^32 bytes each: the product stays below 2^63.
    const auto length =
        static_cast<std::uint64_t>(std::min(maxLength, static_cast<std::int32_t>(kMaxFrameLength)));
    const auto extra = static_cast<std::uint64_t>(std::max(extraSize, std::int32_t{0}));
    return static_cast<std::uint64_t>(capacity) * (kSlotHeaderSize + extra + length);
}

std::uint64_t ringMemory(const Environment& environment) {
    return ringMemory(environment.port.recordCapacity, environment.port.maxRecordLength,
                      extraSizeOf(environment));
}

std::unique_ptr<TrafficRing> makeEnvironmentRing(const Environment& environment, std::uint64_t limit,
                                                 std::optional<RingRefusal>& refusal, bool keepPeers) {
    refusal.reset();
    const std::int32_t capacity = environment.port.recordCapacity;
    const std::int32_t maxLength = environment.port.maxRecordLength;
    const std::int32_t extraSize = extraSizeOf(environment);
    const std::uint64_t bytes = ringMemory(capacity, maxLength, extraSize);
    if (bytes > limit) {
        refusal = RingRefusal{capacity, maxLength, bytes, limit, true};
        return std::make_unique<TrafficRing>(0, 0, extraSize);
    }
    const PortKind kind = portKind(environment.port);
    const bool peers = keepPeers && (kind == PortKind::Udp || kind == PortKind::Tcp);
    auto ring = std::make_unique<TrafficRing>(capacity, maxLength, extraSize, peers);
    if (ring->bufferMissing()) {
        refusal = RingRefusal{capacity, maxLength, bytes, limit, false};
    }
    return ring;
}

std::string ringRefusalMessage(std::u16string_view environment, const RingRefusal& refusal,
                               Language language) {
    const std::string name = toNarrow(environment);
    const std::string capacity = std::to_string(refusal.recordCapacity);
    const std::string length = std::to_string(refusal.maxRecordLength);
    const std::string bytes = std::to_string(refusal.bytes);
    const std::string limit = std::to_string(refusal.limit);
    if (language == Language::Japanese) {
        const std::string head = name + " の通信履歴を確保できません。recordCapacity " + capacity +
                                 "、maxRecordLength " + length + " には " + bytes + " バイトが必要";
        return refusal.overLimit ? head + "で、上限の " + limit + " バイトを超えています。"
                                 : head + "ですが、そのメモリを確保できません。";
    }
    const std::string head = "Can't make the traffic history of " + name + ": recordCapacity " + capacity +
                             " and maxRecordLength " + length + " need " + bytes + " bytes";
    return refusal.overLimit ? head + ", more than the limit of " + limit + " bytes"
                             : head + ", and that much memory cannot be had";
}

}  // namespace orvalix
