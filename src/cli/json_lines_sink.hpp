#pragma once

#include <cstdint>
#include <ostream>
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

    void onEvent(const TrafficEvent& event) override;

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
    // One line per record, unless quiet.
    void writeFrame(const RecordPumped& record);

    std::ostream& out_;
    bool quiet_;
    ConsoleSink& text_;
    std::string line_;  // kept: its room serves every record
};

}  // namespace orvalix::cli
