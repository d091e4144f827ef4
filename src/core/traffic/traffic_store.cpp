#include "core/traffic/traffic_store.hpp"

#include "core/ports/port_options.hpp"

namespace orvalix {

void TrafficStore::prepare(const EnvironmentMap& environments, std::uint64_t ringMemoryLimit) {
    rings_.clear();  // the old buffers go before the new ones are made
    refused_.reset();
    for (const auto& [name, environment] : environments) {
        if (!isUsable(environment.port)) {
            continue;
        }
        std::optional<RingRefusal> refusal;
        rings_.emplace(name, makeEnvironmentRing(environment, ringMemoryLimit, refusal, true));
        if (refusal && !refused_) {
            refused_ = Refused{name, *refusal};
        }
    }
}

void TrafficStore::push(std::u16string_view environment, std::span<const std::uint8_t> data, std::uint64_t time,
                        std::span<const std::uint8_t> extra, UdpEndpoint peer) {
    if (data.empty()) {
        return;
    }
    const auto found = rings_.find(environment);
    if (found == rings_.end()) {
        return;
    }
    found->second->push(data, time, extra, peer);
}

std::int32_t TrafficStore::pop(std::u16string_view environment, std::span<std::uint8_t> data, std::uint64_t& time,
                               std::span<std::uint8_t> extra, UdpEndpoint& peer) {
    const auto found = rings_.find(environment);
    if (found == rings_.end()) {
        time = 0;
        peer = UdpEndpoint{};
        return 0;
    }
    return found->second->read(-1, data, time, extra, peer);
}

std::uint64_t TrafficStore::lost(std::u16string_view environment) const {
    const auto found = rings_.find(environment);
    return found == rings_.end() ? 0 : found->second->overwritten();
}

const TrafficRing* TrafficStore::ring(std::u16string_view environment) const {
    const auto found = rings_.find(environment);
    return found == rings_.end() ? nullptr : found->second.get();
}

}  // namespace orvalix
