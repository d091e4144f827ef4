#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/console_sink.hpp"
#include "core/session/traffic_sink.hpp"

namespace orvalix::cli {

// The run command's machine-readable view: one JSON object per line on `out`, one per pumped
// record (unless quiet) and one per event, each with a "type". Every event also goes on to
// `text`, which keeps the human-readable lines and the totals for the summary.
class JsonLinesSink final : public TrafficSink {
public:
    JsonLinesSink(std::ostream& out, bool quiet, ConsoleSink& text);

    void folderOpened(const Project& project, const std::vector<std::u16string>& usableEnvironments) override;
    void recordPumped(std::u16string_view environment, const Environment& settings,
                      std::span<const std::uint8_t> data, std::uint64_t time,
                      std::span<const std::uint8_t> extra) override;
    void streamUpdated(std::u16string_view environment, TrafficStream& stream, std::int32_t addedMarks,
                       std::int32_t appendedRecords) override;
    void logFileStarted(std::u16string_view environment, const StartedLog& log) override;
    void logFileStopped(std::u16string_view environment, const StoppedLog& log) override;
    void recordingsRefused(std::u16string_view environment, std::size_t refused) override;
    void serviceFailed(const std::string& text) override;
    void portLost(std::u16string_view environment, std::u16string_view port, const std::string& reason) override;
    void datagramsDropped(std::u16string_view environment, std::uint64_t added, std::uint64_t total) override;
    void connectionOpened(std::u16string_view environment, const std::string& peer) override;
    void connectionClosed(std::u16string_view environment, const std::string& peer) override;
    void connectFailed(std::u16string_view environment, std::u16string_view port, const std::string& reason) override;
    void sendsDropped(std::u16string_view environment, std::uint64_t added, std::uint64_t total) override;
    void recordsLost(std::u16string_view environment, std::uint64_t added, std::uint64_t total) override;

private:
    // Starts line_ as {"type":TYPE, then its "environment".
    void begin(std::string_view type);
    void begin(std::string_view type, std::u16string_view environment);
    void addText(std::string_view key, std::string_view utf8);
    // Empty text is null: the value is not known.
    void addTextOrNull(std::string_view key, std::string_view utf8);
    void addNumber(std::string_view key, std::uint64_t value);
    void addNames(std::string_view key, const std::vector<std::string>& names);
    // Ends the object and writes its line.
    void write();
    // An event told at once: the key's text (null when empty), then the reason for the events
    // that have one.
    void writeAtOnce(std::string_view type, std::u16string_view environment, std::string_view key,
                     const std::string& value, const std::string* reason = nullptr);
    // The counts events: "added" since the last one, "total" since the run started.
    void writeCounts(std::string_view type, std::u16string_view environment, std::uint64_t added,
                     std::uint64_t total);

    std::ostream& out_;
    bool quiet_;
    ConsoleSink& text_;
    std::string line_;  // kept: its room serves every record
};

}  // namespace orvalix::cli
