#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/project/project.hpp"
#include "core/traffic/log_files.hpp"
#include "core/traffic/traffic_stream.hpp"

namespace orvalix {

// One running recording: the time of the record that started it (which names its file) and
// the records still to take; a negative count never runs out.
struct TriggerRecording {
    std::uint64_t triggerTime = 0;
    std::int32_t remaining = 0;

    friend bool operator==(const TriggerRecording&, const TriggerRecording&) = default;
};

// environment name -> named-condition name -> running recording
using TriggerRecordings =
    std::map<std::u16string, std::map<std::u16string, TriggerRecording, std::less<>>, std::less<>>;

// A log file that a trigger has just started with its pre-trigger block.
struct StartedLog {
    std::u16string condition;
    std::filesystem::path path;  // empty when it or its folder could not be made
};

// The running trigger recordings of a session. User-interface thread only.
class TriggerRecorder {
public:
    // For one record that has just been appended to the environment's stream: running
    // recordings take it into pending (and count down), ended ones are dropped, and each
    // trigger bit of a condition not recording starts a file with the stream's newest records.
    // Returns the files started, in condition order.
    std::vector<StartedLog> triggerStep(std::u16string_view dataFolder, std::u16string_view environmentName,
                                        const Environment& environment, TrafficStream& stream,
                                        std::span<const std::uint8_t> data, std::uint64_t time,
                                        std::span<const std::uint8_t> extra, PendingLogRecords& pending);

    // Appends what one pass gathered to the log files (by name, then trigger time) and
    // empties it.
    void flush(std::u16string_view dataFolder, std::u16string_view environmentName, PendingLogRecords& pending);

    // No recording crosses runs.
    void clear() { recordings_.clear(); }

    const TriggerRecordings& recordings() const { return recordings_; }

private:
    TriggerRecordings recordings_;
    std::vector<std::uint8_t> scratch_;  // pre-trigger reads, grown to the largest stream
};

}  // namespace orvalix
