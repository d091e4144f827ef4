#pragma once

#include <string>
#include <vector>

#include "core/session/traffic_sink.hpp"
#include "core/text/text_conversion.hpp"

namespace orvalix::test {

// A sink that ignores everything but port events, which it keeps as the texts a user would read.
// Tests derive from it to watch more.
struct PortEventSink : TrafficSink {
    void onEvent(const TrafficEvent& event) override {
        std::visit([this](const auto& told) { keep(told); }, event);
    }

    void keep(const PortLost& lost) {
        portEvents.push_back(toNarrow(lost.environment) + " lost " + toNarrow(lost.port) + ": " + lost.reason);
    }
    void keep(const ConnectionOpened& opened) {
        portEvents.push_back(toNarrow(opened.environment) + " opened " + opened.peer);
    }
    void keep(const ConnectionClosed& closed) {
        portEvents.push_back(toNarrow(closed.environment) + " closed " + closed.peer);
    }
    void keep(const ConnectFailed& failed) {
        portEvents.push_back(toNarrow(failed.environment) + " failed " + toNarrow(failed.port) + ": " +
                             failed.reason);
    }
    void keep(const LossCounted& loss) {
        static constexpr const char* kWhat[] = {" dropped ", " unsent ", " lost records "};
        portEvents.push_back(toNarrow(loss.environment) + kWhat[static_cast<int>(loss.kind)] +
                             std::to_string(loss.added) + " of " + std::to_string(loss.total));
    }
    void keep(const auto&) {}

    std::vector<std::string> portEvents;
};

}  // namespace orvalix::test
