#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "core/project/project.hpp"
#include "core/traffic/ring_memory.hpp"
#include "core/traffic/traffic_ring.hpp"

namespace orvalix {

struct TriggerMark {
    std::int32_t condition = 0;        // named-condition number whose mark rose
    std::int32_t recordPosition = 0;   // position in the stream's ring; -1 once overwritten
    std::uint64_t time = 0;
};

// The user-interface side history of one environment: its records and the trigger marks
// that index them. Used on the user-interface thread only.
class TrafficStream {
public:
    static constexpr std::int32_t kMarkCapacity = 1000;

    // The environment must outlive the stream (the project owns it). Starts reset. A ring
    // above the limit is not made: the stream keeps nothing and refusal() says why.
    explicit TrafficStream(const Environment& environment,
                           std::uint64_t ringMemoryLimit = kDefaultRingMemoryLimit);
    TrafficStream(const TrafficStream&) = delete;
    TrafficStream& operator=(const TrafficStream&) = delete;

    void reset();  // a fresh ring sized from the environment, no marks
    void clear();  // records and marks go

    void append(std::span<const std::uint8_t> data, std::uint64_t time, std::span<const std::uint8_t> extra);
    // Adds a mark for each mark bit of the record just appended; returns how many.
    std::int32_t addMarks(std::uint64_t time, std::span<const std::uint8_t> extra);

    // Record at a position (0 oldest, clamped to the held records; it never removes one);
    // returns its length (0 for none) and, when above 0, its attribute.
    std::int32_t get(std::int32_t position, std::span<std::uint8_t> data, std::uint64_t& time,
                     std::uint32_t& attribute);
    std::int32_t recordCount() const;

    std::int32_t markCount() const { return markCount_; }
    // k counts from the oldest mark; -1 when there is no mark k.
    std::int32_t markConditionNumber(std::int32_t k) const;
    std::int64_t markTime(std::int32_t k) const;
    std::int32_t markPosition(std::int32_t k) const;

    const Environment& environment() const { return *environment_; }
    const TrafficRing& ring() const { return *ring_; }
    // Why the last reset made a ring that keeps nothing against the settings; empty otherwise.
    const std::optional<RingRefusal>& refusal() const { return refusal_; }

private:
    const TriggerMark* mark(std::int32_t k) const;

    const Environment* environment_;
    std::uint64_t ringMemoryLimit_;
    std::unique_ptr<TrafficRing> ring_;
    std::optional<RingRefusal> refusal_;
    std::array<TriggerMark, kMarkCapacity> marks_{};
    std::int32_t markHead_ = 0;
    std::int32_t markCount_ = 0;
};

}  // namespace orvalix
