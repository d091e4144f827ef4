#include "cli/json_lines_sink.hpp"

#include <array>
#include <cstdio>

#include "cli/record_line.hpp"
#include "core/session/run_notices.hpp"
#include "core/text/json_text.hpp"
#include "core/text/text_conversion.hpp"
#include "core/traffic/extra_block.hpp"
#include "core/traffic/iso_time.hpp"

namespace orvalix::cli {

JsonLinesSink::JsonLinesSink(std::ostream& out, bool quiet, ConsoleSink& text)
    : out_(out), quiet_(quiet), text_(text) {}

void JsonLinesSink::begin(std::string_view type) {
    line_.assign("{\"type\":");
    appendJsonString(line_, type);
}

void JsonLinesSink::begin(std::string_view type, std::u16string_view environment) {
    begin(type);
    addText("environment", toNarrow(environment));
}

void JsonLinesSink::addText(std::string_view key, std::string_view utf8) {
    line_ += ",\"";
    line_ += key;
    line_ += "\":";
    appendJsonString(line_, utf8);
}

void JsonLinesSink::addTextOrNull(std::string_view key, std::string_view utf8) {
    if (!utf8.empty()) {
        addText(key, utf8);
        return;
    }
    line_ += ",\"";
    line_ += key;
    line_ += "\":null";
}

void JsonLinesSink::addNumber(std::string_view key, std::uint64_t value) {
    line_ += ",\"";
    line_ += key;
    line_ += "\":";
    line_ += std::to_string(value);
}

void JsonLinesSink::addNames(std::string_view key, const std::vector<std::string>& names) {
    line_ += ",\"";
    line_ += key;
    line_ += "\":[";
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) {
            line_ += ',';
        }
        appendJsonString(line_, names[i]);
    }
    line_ += ']';
}

void JsonLinesSink::write() {
    line_ += "}\n";
    out_ << line_;
}

void JsonLinesSink::writeCounts(std::string_view type, std::u16string_view environment, std::uint64_t added,
                                std::uint64_t total) {
    begin(type, environment);
    addNumber("added", added);
    addNumber("total", total);
    write();
}

void JsonLinesSink::folderOpened(const Project& project, const std::vector<std::u16string>& usableEnvironments) {
    text_.folderOpened(project, usableEnvironments);
}

void JsonLinesSink::recordPumped(std::u16string_view environment, const Environment& settings,
                                 std::span<const std::uint8_t> data, std::uint64_t time,
                                 std::span<const std::uint8_t> extra) {
    text_.recordPumped(environment, settings, data, time, extra);
    if (quiet_) {
        return;
    }
    const std::uint32_t word = attribute(extra);
    std::array<char, 9> attributeText{};
    std::snprintf(attributeText.data(), attributeText.size(), "%.8x", static_cast<unsigned>(word));
    begin("frame", environment);
    addTextOrNull("time", formatIsoTime(time));
    addNumber("filetime", time);
    addText("direction", (word & kReceivedAttribute) != 0 ? "rx" : "tx");
    addNumber("length", data.size());
    addText("attribute", attributeText.data());
    line_ += ",\"bytes\":\"";
    appendHex(line_, data);
    line_ += '"';
    addNames("marks", markedConditions(settings, extra));
    addNames("triggers", triggeredConditions(settings, extra));
    addTextOrNull("fault", faultNameOfRecord(settings.faults, word));
    write();
}

void JsonLinesSink::streamUpdated(std::u16string_view environment, TrafficStream& stream, std::int32_t addedMarks,
                                  std::int32_t appendedRecords) {
    text_.streamUpdated(environment, stream, addedMarks, appendedRecords);
    // A tick's end is when its lines reach the reader.
    out_.flush();
}

void JsonLinesSink::logFileStarted(std::u16string_view environment, const StartedLog& log) {
    text_.logFileStarted(environment, log);
    begin("log_started", environment);
    addText("condition", toNarrow(log.condition));
    addTextOrNull("file", pathText(log.path));
    addTextOrNull("reason", log.path.empty() && log.error ? log.error.message() : std::string{});
    write();
}

void JsonLinesSink::logFileStopped(std::u16string_view environment, const StoppedLog& log) {
    text_.logFileStopped(environment, log);
    begin("log_stopped", environment);
    addText("condition", toNarrow(log.condition));
    addText("file", pathText(log.path));
    addNumber("records", log.records);
    addTextOrNull("reason", log.error ? log.error.message() : std::string{});
    write();
}

void JsonLinesSink::recordingsRefused(std::u16string_view environment, std::size_t refused) {
    text_.recordingsRefused(environment, refused);
    begin("recordings_refused", environment);
    addNumber("refused", refused);
    write();
}

void JsonLinesSink::serviceFailed(const std::string& text) {
    text_.serviceFailed(text);
    begin("error");
    addText("message", withoutLineEnd(text));
    write();
    out_.flush();
}

void JsonLinesSink::writeAtOnce(std::string_view type, std::u16string_view environment, std::string_view key,
                                const std::string& value, const std::string* reason) {
    begin(type, environment);
    addTextOrNull(key, value);
    if (reason != nullptr) {
        addText("reason", *reason);
    }
    write();
    out_.flush();
}

void JsonLinesSink::portLost(std::u16string_view environment, std::u16string_view port, const std::string& reason) {
    text_.portLost(environment, port, reason);
    writeAtOnce("port_lost", environment, "port", toNarrow(port), &reason);
}

void JsonLinesSink::datagramsDropped(std::u16string_view environment, std::uint64_t added, std::uint64_t total) {
    text_.datagramsDropped(environment, added, total);
    writeCounts("datagrams_dropped", environment, added, total);
}

// Connection events are no records: written under --quiet too, and at once.
void JsonLinesSink::connectionOpened(std::u16string_view environment, const std::string& peer) {
    text_.connectionOpened(environment, peer);
    writeAtOnce("connection_opened", environment, "peer", peer);
}

void JsonLinesSink::connectionClosed(std::u16string_view environment, const std::string& peer) {
    text_.connectionClosed(environment, peer);
    writeAtOnce("connection_closed", environment, "peer", peer);
}

void JsonLinesSink::connectFailed(std::u16string_view environment, std::u16string_view port,
                                  const std::string& reason) {
    text_.connectFailed(environment, port, reason);
    writeAtOnce("connect_failed", environment, "port", toNarrow(port), &reason);
}

void JsonLinesSink::sendsDropped(std::u16string_view environment, std::uint64_t added, std::uint64_t total) {
    text_.sendsDropped(environment, added, total);
    writeCounts("sends_dropped", environment, added, total);
}

void JsonLinesSink::recordsLost(std::u16string_view environment, std::uint64_t added, std::uint64_t total) {
    text_.recordsLost(environment, added, total);
    writeCounts("records_lost", environment, added, total);
}

}  // namespace orvalix::cli
