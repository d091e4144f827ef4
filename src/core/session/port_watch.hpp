#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "core/ports/port.hpp"
#include "core/project/project.hpp"
#include "core/session/traffic_sink.hpp"

namespace orvalix {

// Turns what the ports told the service into the sink's port events: a lost port once per run,
// and datagrams the system dropped at most once a second per environment, so that a flood
// gives a line a second rather than one per tick. One thread only.
class PortWatch {
public:
    // Reports of one environment wait at least this long after its last one.
    static constexpr std::int64_t kDropReportPeriodMs = 1000;

    // A new run: its ports count from 0 again and may be lost again.
    void clear();

    // Looks at the environment's port once. nowMs is a steady clock in milliseconds; finalLook
    // tells every drop still waiting, since no later look will come.
    void look(std::u16string_view environment, const Environment& settings, const PortHealth& health,
              std::int64_t nowMs, bool finalLook, TrafficSink& sink);

private:
    struct Seen {
        bool lostReported = false;
        std::uint32_t dropCounter = 0;  // the port's own, which wraps around
        std::uint64_t dropped = 0;      // since the run started
        std::uint64_t reported = 0;     // of dropped, told to the sink
        std::optional<std::int64_t> lastReportMs;
    };

    std::map<std::u16string, Seen, std::less<>> seen_;
};

}  // namespace orvalix
