#include "core/traffic/traffic_store.hpp"

#include "core/project/port_settings_access.hpp"
#include "core/traffic/extra_block.hpp"

namespace orvalix {

void TrafficStore::prepare(const EnvironmentMap& environments) {
    rings_.clear();
    for (const auto& [name, environment] : environments) {
        if (!isUsable(environment.port)) {
            continue;
        }
        rings_.emplace(name, std::make_unique<TrafficRing>(
                                 recordCapacity(environment.port), maxRecordLength(environment.port),
                                 static_cast<std::int32_t>(extraBlockSize(environment.namedConditions.size()))));
    }
}

void TrafficStore::push(std::u16string_view environment, std::span<const std::uint8_t> data, std::uint64_t time,
                        std::span<const std::uint8_t> extra) {
    if (data.empty()) {
        return;
    }
    const auto found = rings_.find(environment);
    if (found == rings_.end()) {
        return;
    }
    found->second->push(data, time, extra);
}

std::int32_t TrafficStore::pop(std::u16string_view environment, std::span<std::uint8_t> data, std::uint64_t& time,
                               std::span<std::uint8_t> extra) {
    const auto found = rings_.find(environment);
    if (found == rings_.end()) {
        time = 0;
        return 0;
    }
    return found->second->read(-1, data, time, extra);
}

const TrafficRing* TrafficStore::ring(std::u16string_view environment) const {
    const auto found = rings_.find(environment);
    return found == rings_.end() ? nullptr : found->second.get();
}

}  // namespace orvalix
