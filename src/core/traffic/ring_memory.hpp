#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/project/project.hpp"
#include "core/text/language.hpp"
#include "core/traffic/traffic_ring.hpp"

namespace orvalix {

// The most one traffic ring may take unless the user says otherwise: 1 GiB.
inline constexpr std::uint64_t kDefaultRingMemoryLimit = std::uint64_t{1} << 30;

// The bytes of a ring's buffer: capacity slots of the 12-byte head, the extra block and
// maxLength data bytes, with maxLength taken as the ring takes it (at most kMaxFrameLength).
// 0 for a ring that keeps nothing by design (a capacity or a length below 1).
std::uint64_t ringMemory(std::int32_t capacity, std::int32_t maxLength, std::int32_t extraSize);
// The same for the ring of an environment, from its settings and named-condition count.
std::uint64_t ringMemory(const Environment& environment);

// Why an environment's ring was not made.
struct RingRefusal {
    std::int32_t recordCapacity = 0;
    std::int32_t maxRecordLength = 0;
    std::uint64_t bytes = 0;
    std::uint64_t limit = 0;
    bool overLimit = false;  // otherwise the memory could not be had

    friend bool operator==(const RingRefusal&, const RingRefusal&) = default;
};

// The environment's ring. Above the limit, or when the buffer cannot be made, the ring keeps
// nothing and refusal says why; otherwise refusal is left empty. With keepPeers, the ring of a
// UDP or TCP port keeps each record's peer as well.
std::unique_ptr<TrafficRing> makeEnvironmentRing(const Environment& environment, std::uint64_t limit,
                                                 std::optional<RingRefusal>& refusal, bool keepPeers = false);

// The text Start fails with, naming the environment, both settings and the bytes; UTF-8.
std::string ringRefusalMessage(std::u16string_view environment, const RingRefusal& refusal,
                               Language language);

}  // namespace orvalix
