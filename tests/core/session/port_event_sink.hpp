#pragma once

#include <string>
#include <vector>

#include "core/session/traffic_sink.hpp"
#include "core/text/text_conversion.hpp"

namespace orvalix::test {

// A sink that ignores everything but port events, which it keeps as the texts a user would read.
// Tests derive from it to watch more.
struct PortEventSink : TrafficSink {
    void folderOpened(const Project&, const std::vector<std::u16string>&) override {}
    void recordPumped(std::u16string_view, const Environment&, std::span<const std::uint8_t>, std::uint64_t,
                      std::span<const std::uint8_t>) override {}
    void streamUpdated(std::u16string_view, TrafficStream&, std::int32_t, std::int32_t) override {}
    void logFileStarted(std::u16string_view, const StartedLog&) override {}
    void logFileStopped(std::u16string_view, const StoppedLog&) override {}
    void recordingsRefused(std::u16string_view, std::size_t) override {}
    void serviceFailed(const std::string&) override {}
    void portLost(std::u16string_view environment, std::u16string_view port, const std::string& reason) override {
        portEvents.push_back(toNarrow(environment) + " lost " + toNarrow(port) + ": " + reason);
    }
    void datagramsDropped(std::u16string_view environment, std::uint64_t added, std::uint64_t total) override {
        portEvents.push_back(toNarrow(environment) + " dropped " + std::to_string(added) + " of " +
                             std::to_string(total));
    }
    void connectionOpened(std::u16string_view environment, const std::string& peer) override {
        portEvents.push_back(toNarrow(environment) + " opened " + peer);
    }
    void connectionClosed(std::u16string_view environment, const std::string& peer) override {
        portEvents.push_back(toNarrow(environment) + " closed " + peer);
    }
    void connectFailed(std::u16string_view environment, std::u16string_view port, const std::string& reason) override {
        portEvents.push_back(toNarrow(environment) + " failed " + toNarrow(port) + ": " + reason);
    }
    void sendsDropped(std::u16string_view environment, std::uint64_t added, std::uint64_t total) override {
        portEvents.push_back(toNarrow(environment) + " unsent " + std::to_string(added) + " of " +
                             std::to_string(total));
    }
    void recordsLost(std::u16string_view, std::uint64_t, std::uint64_t) override {}

    std::vector<std::string> portEvents;
};

}  // namespace orvalix::test
