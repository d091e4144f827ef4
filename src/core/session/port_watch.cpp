#include "core/session/port_watch.hpp"

#include "core/platform/error_text.hpp"

namespace orvalix {
namespace {

// The peer of connection `number`, while the port still keeps it.
std::string peerText(const ConnectionHealth& health, std::uint32_t number) {
    // Unsigned difference: the counter may have wrapped.
    if (health.opened - number >= ConnectionHealth::kPeersKept) {
        return {};
    }
    return socketAddressText(health.peer(number));
}

}  // namespace

std::optional<PortWatch::ThrottledCount::Report> PortWatch::ThrottledCount::look(std::uint32_t counter,
                                                                                  std::int64_t nowMs,
                                                                                  bool finalLook) {
    // Unsigned difference: the counter may have wrapped since the last look.
    total_ += static_cast<std::uint32_t>(counter - counter_);
    counter_ = counter;
    const bool due = !lastReportMs_ || nowMs - *lastReportMs_ >= kDropReportPeriodMs;
    if (total_ == reported_ || !(due || finalLook)) {
        return std::nullopt;
    }
    const Report report{total_ - reported_, total_};
    reported_ = total_;
    lastReportMs_ = nowMs;
    return report;
}

void PortWatch::clear() { seen_.clear(); }

void PortWatch::look(std::u16string_view environment, const Environment& settings, const PortHealth& health,
                     std::int64_t nowMs, bool finalLook, TrafficSink& sink) {
    auto entry = seen_.find(environment);
    if (entry == seen_.end()) {
        entry = seen_.emplace(std::u16string(environment), Seen{}).first;
    }
    Seen& seen = entry->second;

    if (const auto dropped = seen.droppedDatagrams.look(health.droppedDatagrams, nowMs, finalLook)) {
        sink.onEvent(LossCounted{Loss::datagrams, environment, dropped->added, dropped->total});
    }

    const ConnectionHealth& connections = health.connections;
    const bool newFailures = connections.failureRuns != seen.failureRuns;
    seen.failureRuns = connections.failureRuns;
    const auto tellFailures = [&] {
        sink.onEvent(
            ConnectFailed{environment, settings.port.name, platform::systemErrorText(connections.failureError)});
    };
    // A port connected now has failed before it connected; one that is not, after its last
    // connection ended. (A client tries again a second after either, so both seldom fall
    // between two looks.)
    if (newFailures && connections.connected()) {
        tellFailures();
    }
    tellConnections(environment, connections, seen, sink);
    if (newFailures && !connections.connected()) {
        tellFailures();
    }
    if (const auto dropped = seen.droppedSends.look(connections.droppedSends, nowMs, finalLook)) {
        sink.onEvent(LossCounted{Loss::sends, environment, dropped->added, dropped->total});
    }

    if (health.lostError != 0 && !seen.lostReported) {
        seen.lostReported = true;
        sink.onEvent(PortLost{environment, settings.port.name, platform::systemErrorText(health.lostError)});
    }
}

void PortWatch::tellConnections(std::u16string_view environment, const ConnectionHealth& health, Seen& seen,
                                TrafficSink& sink) {
    // Connection by connection, each opened before it closes; one at a time is open.
    for (;;) {
        if (seen.closed != seen.opened && seen.closed != health.closed) {
            ++seen.closed;
            sink.onEvent(ConnectionClosed{environment, peerText(health, seen.closed)});
        } else if (seen.opened != health.opened) {
            ++seen.opened;
            sink.onEvent(ConnectionOpened{environment, peerText(health, seen.opened)});
        } else {
            return;
        }
    }
}

}  // namespace orvalix
