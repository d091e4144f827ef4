#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "core/project/project.hpp"
#include "core/traffic/traffic_ring.hpp"

namespace orvalix {

// One ring per usable environment, between the service thread (push) and the pump (pop).
// Not locked itself: the service object's lock guards it (and each ring has its own).
class TrafficStore {
public:
    // Drops every ring, then makes one for each usable environment.
    void prepare(const EnvironmentMap& environments);

    // Nothing happens for an empty frame or a name without a ring.
    void push(std::u16string_view environment, std::span<const std::uint8_t> data, std::uint64_t time,
              std::span<const std::uint8_t> extra);

    // Removes and returns the oldest record's length; 0 (and time 0) when there is none.
    std::int32_t pop(std::u16string_view environment, std::span<std::uint8_t> data, std::uint64_t& time,
                     std::span<std::uint8_t> extra);

    // The environment's ring, or null when it has none.
    const TrafficRing* ring(std::u16string_view environment) const;

private:
    // Rings are not movable (they hold a lock): held by pointer, made once per prepare.
    std::map<std::u16string, std::unique_ptr<TrafficRing>, std::less<>> rings_;
};

}  // namespace orvalix
