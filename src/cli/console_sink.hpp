#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.hpp"
#include "core/session/traffic_sink.hpp"

namespace orvalix::cli {

// What a run did on one environment, for the summary.
struct EnvironmentTotals {
    std::int64_t received = 0;
    std::int64_t sent = 0;
    std::int64_t marks = 0;
    std::int64_t logFiles = 0;
    std::int64_t logFilesStopped = 0;
    std::int64_t recordingsRefused = 0;
    bool portLost = false;
    std::uint64_t droppedDatagrams = 0;
    std::uint64_t connections = 0;
    std::uint64_t droppedSends = 0;
    std::uint64_t lostRecords = 0;
};

// The text without the line break that system messages end with.
std::string withoutLineEnd(std::string_view text);

// The run command's view of the session: a header when the folder opens, one line per
// pumped record (unless quiet), a line per trigger log file, per lost port, per TCP connection
// opened or closed, per run of failed attempts to connect and per report of dropped datagrams
// or frames, the service's error on the error stream, and the totals for the summary.
class ConsoleSink final : public TrafficSink {
public:
    ConsoleSink(Console console, bool quiet);

    void onEvent(const TrafficEvent& event) override;

    void printSummary() const;

    // The error text the service ended with; empty after a normal end.
    const std::string& serviceError() const { return serviceError_; }
    const EnvironmentTotals* totals(std::u16string_view environment) const;

private:
    EnvironmentTotals& totalsOf(std::u16string_view environment);
    void tellLoss(const LossCounted& loss);

    Console console_;
    bool quiet_;
    std::vector<std::u16string> order_;
    std::map<std::u16string, EnvironmentTotals, std::less<>> totals_;
    std::string serviceError_;
};

}  // namespace orvalix::cli
