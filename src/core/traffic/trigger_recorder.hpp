#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/project/project.hpp"
#include "core/traffic/log_files.hpp"
#include "core/traffic/traffic_stream.hpp"

namespace orvalix {

// One record starts at most this many log files; the triggers above it are refused, so that a
// folder of thousands of conditions cannot stall the pump on one record.
inline constexpr std::size_t kMaxLogFilesPerRecord = 64;

// One running recording: the time of the record that started it, the records still to take
// (a negative count never runs out) and its file (empty when it could not be made).
struct TriggerRecording {
    std::uint64_t triggerTime = 0;
    std::int32_t remaining = 0;
    std::filesystem::path path;

    friend bool operator==(const TriggerRecording&, const TriggerRecording&) = default;
};

// environment name -> named-condition name -> running recording
using TriggerRecordings =
    std::map<std::u16string, std::map<std::u16string, TriggerRecording, std::less<>>, std::less<>>;

// A log file that a trigger has just started with its pre-trigger block.
struct StartedLog {
    std::u16string condition;
    std::filesystem::path path;  // empty when it or its folder could not be made
    std::error_code error;       // the system's reason, when it gave one
};

// A recording stopped because its file could not take a write: the file holds its first
// `records` records, whole.
struct StoppedLog {
    std::u16string condition;
    std::filesystem::path path;
    std::size_t records = 0;
    std::error_code error;
};

// What one record did to the recordings.
struct TriggerOutcome {
    std::vector<StartedLog> started;
    std::vector<StoppedLog> stopped;
    std::size_t refused = 0;  // triggers above kMaxLogFilesPerRecord
};

// The running trigger recordings of a session. User-interface thread only.
class TriggerRecorder {
public:
    explicit TriggerRecorder(AppendBytes append = appendToFile);

    // For one record that has just been appended to the environment's stream: running
    // recordings take it into pending (and count down), ended ones are dropped, and each
    // trigger bit of a condition not recording starts a file with the stream's newest records.
    // A file whose write fails stops its recording at once, so the next trigger tries afresh.
    TriggerOutcome triggerStep(std::u16string_view dataFolder, std::u16string_view environmentName,
                               const Environment& environment, TrafficStream& stream,
                               std::span<const std::uint8_t> data, std::uint64_t time,
                               std::span<const std::uint8_t> extra, PendingLogRecords& pending);

    // Appends what one pass gathered to the log files and empties it. A recording whose
    // write fails is stopped; the list says which.
    std::vector<StoppedLog> flush(std::u16string_view environmentName, PendingLogRecords& pending);

    // No recording crosses runs.
    void clear();

    const TriggerRecordings& recordings() const { return recordings_; }

private:
    // The path, numbered when a file of this run already has it: two recordings never share a file.
    std::filesystem::path unusedPath(const std::filesystem::path& path) const;
    void stopRecording(std::u16string_view environmentName, std::u16string_view condition,
                       const std::filesystem::path& path);

    AppendBytes append_;
    TriggerRecordings recordings_;
    // Every log file this run has made -> the whole records it holds.
    std::map<std::filesystem::path, std::size_t> files_;
    std::vector<std::uint8_t> scratch_;  // pre-trigger reads, grown to the largest stream
};

}  // namespace orvalix
