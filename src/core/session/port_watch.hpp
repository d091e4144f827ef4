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

// Turns what the ports told the service into the sink's port events: a lost port once per run;
// every TCP connection opened and closed, in order, and a run of failed attempts to connect once;
// and datagrams the system dropped, or frames no connection took, at most once a second per
// environment, so that a flood gives a line a second rather than one per tick. One thread only.
class PortWatch {
public:
    // Reports of one count of one environment wait at least this long after its last one.
    static constexpr std::int64_t kDropReportPeriodMs = 1000;

    // A new run: its ports count from 0 again and may be lost again.
    void clear();

    // Looks at the environment's port once. nowMs is a steady clock in milliseconds; finalLook
    // tells every drop still waiting, since no later look will come.
    void look(std::u16string_view environment, const Environment& settings, const PortHealth& health,
              std::int64_t nowMs, bool finalLook, TrafficSink& sink);

private:
    // A counter the port keeps (it wraps around) as a total since the run started, told at
    // most once a period.
    class ThrottledCount {
    public:
        struct Report {
            std::uint64_t added;
            std::uint64_t total;
        };
        // Takes the port's counter; what to tell, when something is new and a report is due.
        std::optional<Report> look(std::uint32_t counter, std::int64_t nowMs, bool finalLook);

    private:
        std::uint32_t counter_ = 0;
        std::uint64_t total_ = 0;
        std::uint64_t reported_ = 0;
        std::optional<std::int64_t> lastReportMs_;
    };

    struct Seen {
        bool lostReported = false;
        ThrottledCount droppedDatagrams;
        ThrottledCount droppedSends;
        // The port's connection counters as far as told.
        std::uint32_t opened = 0;
        std::uint32_t closed = 0;
        std::uint32_t failureRuns = 0;
    };

    static void tellConnections(std::u16string_view environment, const ConnectionHealth& health, Seen& seen,
                                TrafficSink& sink);

    std::map<std::u16string, Seen, std::less<>> seen_;
};

}  // namespace orvalix
