#include "core/traffic/trigger_recorder.hpp"

#include <utility>

#include "core/traffic/extra_block.hpp"

namespace orvalix {
namespace {

// Cell 0 without a copy: this runs for every condition of every record.
std::u16string_view conditionName(const NamedCondition& condition) {
    return condition.cells.empty() ? std::u16string_view{} : std::u16string_view(condition.cells.front());
}

}  // namespace

TriggerRecorder::TriggerRecorder(AppendBytes append) : append_(std::move(append)) {}

void TriggerRecorder::clear() {
    recordings_.clear();
    files_.clear();
}

std::filesystem::path TriggerRecorder::unusedPath(const std::filesystem::path& path) const {
    std::filesystem::path candidate = path;
    for (int n = 2; files_.contains(candidate); ++n) {
        candidate = numberedLogPath(path, n);
    }
    return candidate;
}

void TriggerRecorder::stopRecording(std::u16string_view environmentName, std::u16string_view condition,
                                    const std::filesystem::path& path) {
    const auto byEnvironment = recordings_.find(environmentName);
    if (byEnvironment == recordings_.end()) {
        return;
    }
    const auto recording = byEnvironment->second.find(condition);
    // An ended recording may already have made way for a new one of the same condition.
    if (recording != byEnvironment->second.end() && recording->second.path == path) {
        byEnvironment->second.erase(recording);
    }
}

TriggerOutcome TriggerRecorder::triggerStep(std::u16string_view dataFolder, std::u16string_view environmentName,
                                            const Environment& environment, TrafficStream& stream,
                                            std::span<const std::uint8_t> data, std::uint64_t time,
                                            std::span<const std::uint8_t> extra, PendingLogRecords& pending) {
    TriggerOutcome outcome;
    const std::size_t conditionCount = environment.namedConditions.size();
    for (std::size_t i = 0; i < conditionCount; ++i) {
        const std::u16string_view name = conditionName(environment.namedConditions[i]);

        const auto running = recordings_.find(environmentName);
        if (running != recordings_.end()) {
            const auto recording = running->second.find(name);
            if (recording != running->second.end()) {
                TriggerRecording& state = recording->second;
                if (state.remaining != 0) {
                    if (!state.path.empty() && !data.empty()) {
                        auto byName = pending.find(name);
                        if (byName == pending.end()) {
                            byName = pending.emplace(std::u16string(name), PendingLogRecords::mapped_type{}).first;
                        }
                        PendingLog& log = byName->second[state.triggerTime];
                        if (log.path.empty()) {
                            log.path = state.path;
                        }
                        const std::uint32_t word = attribute(extra);
                        log.block.add(data, time, word, faultNameOfRecord(environment.faults, word));
                    }
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
        if (outcome.started.size() == kMaxLogFilesPerRecord) {
            ++outcome.refused;
            continue;
        }
        std::filesystem::path path = logPath(dataFolder, environmentName, name, time);
        if (!path.empty()) {
            path = unusedPath(path);
            const auto bufferSize = static_cast<std::size_t>(stream.ring().maxLength());
            if (scratch_.size() < bufferSize) {
                scratch_.resize(bufferSize);
            }
            const LogWrite written =
                appendBlock(path, preTriggerBlock(stream, environment.port.preTriggerCount, scratch_), append_);
            if (written.error) {
                // No recording: the next trigger tries again, when there may be room.
                if (written.recordsWritten == 0) {
                    outcome.started.push_back(StartedLog{std::u16string(name), {}, written.error});
                } else {
                    files_.emplace(path, written.recordsWritten);
                    outcome.started.push_back(StartedLog{std::u16string(name), path, {}});
                    outcome.stopped.push_back(
                        StoppedLog{std::u16string(name), std::move(path), written.recordsWritten, written.error});
                }
                continue;
            }
            files_.emplace(path, written.recordsWritten);
        }

        auto byEnvironment = recordings_.find(environmentName);
        if (byEnvironment == recordings_.end()) {
            byEnvironment = recordings_.emplace(std::u16string(environmentName), TriggerRecordings::mapped_type{}).first;
        }
        byEnvironment->second.insert_or_assign(std::u16string(name),
                                               TriggerRecording{time, environment.port.postTriggerCount, path});
        outcome.started.push_back(StartedLog{std::u16string(name), std::move(path), {}});
    }
    return outcome;
}

std::vector<StoppedLog> TriggerRecorder::flush(std::u16string_view environmentName, PendingLogRecords& pending) {
    std::vector<StoppedLog> stopped;
    for (const auto& [name, byTriggerTime] : pending) {
        for (const auto& [triggerTime, log] : byTriggerTime) {
            const LogWrite written = appendBlock(log.path, log.block, append_);
            std::size_t& records = files_[log.path];
            records += written.recordsWritten;
            if (written.error) {
                stopRecording(environmentName, name, log.path);
                stopped.push_back(StoppedLog{name, log.path, records, written.error});
            }
        }
    }
    pending.clear();
    return stopped;
}

}  // namespace orvalix
