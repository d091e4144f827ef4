#include "core/session/port_watch.hpp"

#include "core/platform/error_text.hpp"

namespace orvalix {

void PortWatch::clear() { seen_.clear(); }

void PortWatch::look(std::u16string_view environment, const Environment& settings, const PortHealth& health,
                     std::int64_t nowMs, bool finalLook, TrafficSink& sink) {
    auto entry = seen_.find(environment);
    if (entry == seen_.end()) {
        entry = seen_.emplace(std::u16string(environment), Seen{}).first;
    }
    Seen& seen = entry->second;

    // Unsigned difference: the counter may have wrapped since the last look.
    seen.dropped += static_cast<std::uint32_t>(health.droppedDatagrams - seen.dropCounter);
    seen.dropCounter = health.droppedDatagrams;
    const bool due = !seen.lastReportMs || nowMs - *seen.lastReportMs >= kDropReportPeriodMs;
    if (seen.dropped > seen.reported && (due || finalLook)) {
        sink.datagramsDropped(environment, seen.dropped - seen.reported, seen.dropped);
        seen.reported = seen.dropped;
        seen.lastReportMs = nowMs;
    }

    if (health.lostError != 0 && !seen.lostReported) {
        seen.lostReported = true;
        sink.portLost(environment, settings.port.name, platform::systemErrorText(health.lostError));
    }
}

}  // namespace orvalix
