#include "core/traffic/trigger_recorder.hpp"

#include <algorithm>

#include "core/project/port_settings_access.hpp"
#include "core/traffic/extra_block.hpp"

namespace orvalix {
namespace {

// Cell 0 without a copy: this runs for every condition of every record.
std::u16string_view conditionName(const NamedCondition& condition) {
    return condition.cells.empty() ? std::u16string_view{} : std::u16string_view(condition.cells.front());
}

}  // namespace

std::vector<StartedLog> TriggerRecorder::triggerStep(std::u16string_view dataFolder,
                                                     std::u16string_view environmentName,
                                                     const Environment& environment, TrafficStream& stream,
                                                     std::span<const std::uint8_t> data, std::uint64_t time,
                                                     std::span<const std::uint8_t> extra,
                                                     PendingLogRecords& pending) {
    std::vector<StartedLog> started;
    const std::size_t conditionCount = environment.namedConditions.size();
    for (std::size_t i = 0; i < conditionCount; ++i) {
        const std::u16string_view name = conditionName(environment.namedConditions[i]);

        const auto running = recordings_.find(environmentName);
        if (running != recordings_.end()) {
            const auto recording = running->second.find(name);
            if (recording != running->second.end()) {
                TriggerRecording& state = recording->second;
                if (state.remaining != 0) {
                    auto byName = pending.find(name);
                    if (byName == pending.end()) {
                        byName = pending.emplace(std::u16string(name), PendingLogRecords::mapped_type{}).first;
                    }
                    byName->second[state.triggerTime].push_back(
                        LogRecord{time, attribute(extra), std::vector<std::uint8_t>(data.begin(), data.end())});
                    if (state.remaining > 0) {
                        --state.remaining;
                    }
                    continue;  // its own trigger does not restart a running recording
                }
                running->second.erase(recording);
            }
        }

        if (!triggerBit(extra, conditionCount, i)) {
            continue;
        }
        std::filesystem::path path = logPath(dataFolder, environmentName, name, time);
        const auto bufferSize = static_cast<std::size_t>(stream.ring().maxLength());
        if (scratch_.size() < bufferSize) {
            scratch_.resize(bufferSize);
        }
        if (!writePreTrigger(path, stream, preTriggerCount(environment.port), scratch_)) {
            path.clear();  // not a log file to name to the user
        }

        auto byEnvironment = recordings_.find(environmentName);
        if (byEnvironment == recordings_.end()) {
            byEnvironment = recordings_.emplace(std::u16string(environmentName), TriggerRecordings::mapped_type{}).first;
        }
        byEnvironment->second.insert_or_assign(std::u16string(name),
                                               TriggerRecording{time, postTriggerCount(environment.port)});
        started.push_back(StartedLog{std::u16string(name), std::move(path)});
    }
    return started;
}

void TriggerRecorder::flush(std::u16string_view dataFolder, std::u16string_view environmentName,
                            PendingLogRecords& pending) {
    for (const auto& [name, byTriggerTime] : pending) {
        for (const auto& [triggerTime, records] : byTriggerTime) {
            appendRecords(logPath(dataFolder, environmentName, name, triggerTime), records);
        }
    }
    pending.clear();
}

}  // namespace orvalix
