#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/project/project.hpp"
#include "core/traffic/ring_memory.hpp"
#include "core/traffic/traffic_ring.hpp"

namespace orvalix {

// One ring per usable environment, between the service thread (push) and the pump (pop).
// Not locked itself: the service object's lock guards it (and each ring has its own).
class TrafficStore {
public:
    // Drops every ring, then makes one for each usable environment; a ring above the limit, or
    // one whose buffer cannot be made, keeps nothing and is told by refused().
    void prepare(const EnvironmentMap& environments, std::uint64_t ringMemoryLimit = kDefaultRingMemoryLimit);

    // The first environment, in map order, whose ring was refused at the last prepare, and why.
    struct Refused {
        std::u16string environment;
        RingRefusal refusal;
    };
    const std::optional<Refused>& refused() const { return refused_; }

    // Nothing happens for an empty frame or a name without a ring.
    // The peer is kept for UDP and TCP environments only.
    void push(std::u16string_view environment, std::span<const std::uint8_t> data, std::uint64_t time,
              std::span<const std::uint8_t> extra, UdpEndpoint peer = {});

    // Removes and returns the oldest record's length; 0 (and time 0) when there is none.
    std::int32_t pop(std::u16string_view environment, std::span<std::uint8_t> data, std::uint64_t& time,
                     std::span<std::uint8_t> extra, UdpEndpoint& peer);

    // Records of the environment that its full ring overwrote before a pop took them.
    std::uint64_t lost(std::u16string_view environment) const;

    // The environment's ring, or null when it has none.
    const TrafficRing* ring(std::u16string_view environment) const;

private:
    // Rings are not movable (they hold a lock): held by pointer, made once per prepare.
    std::map<std::u16string, std::unique_ptr<TrafficRing>, std::less<>> rings_;
    std::optional<Refused> refused_;
};

}  // namespace orvalix
