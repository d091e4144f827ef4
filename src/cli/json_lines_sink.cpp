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
namespace {

std::string_view lossType(Loss kind) {
    switch (kind) {
    case Loss::datagrams:
        return "datagrams_dropped";
    case Loss::sends:
        return "sends_dropped";
    case Loss::records:
        return "records_lost";
    }
    return {};
}

}  // namespace

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

void JsonLinesSink::writeFrame(const RecordPumped& record) {
    if (quiet_) {
        return;
    }
    const std::uint32_t word = attribute(record.extra);
    std::array<char, 9> attributeText{};
    std::snprintf(attributeText.data(), attributeText.size(), "%.8x", static_cast<unsigned>(word));
    begin("frame", record.environment);
    addTextOrNull("time", formatIsoTime(record.time));
    addNumber("filetime", record.time);
    addText("direction", (word & kReceivedAttribute) != 0 ? "rx" : "tx");
    addNumber("length", record.data.size());
    addText("attribute", attributeText.data());
    line_ += ",\"bytes\":\"";
    appendHex(line_, record.data);
    line_ += '"';
    addNames("marks", markedConditions(record.settings, record.extra));
    addNames("triggers", triggeredConditions(record.settings, record.extra));
    addTextOrNull("fault", faultNameOfRecord(record.settings.faults, word));
    write();
}

void JsonLinesSink::onEvent(const TrafficEvent& event) {
    text_.onEvent(event);
    const auto writeLine = EventHandlers{
        [](const FolderOpened&) {},
        [&](const RecordPumped& record) { writeFrame(record); },
        [&](const StreamUpdated&) {
            // A tick's end is when its lines reach the reader.
            out_.flush();
        },
        [&](const LogFileStarted& started) {
            const StartedLog& log = started.log;
            begin("log_started", started.environment);
            addText("condition", toNarrow(log.condition));
            addTextOrNull("file", pathText(log.path));
            addTextOrNull("reason", log.path.empty() && log.error ? log.error.message() : std::string{});
            write();
        },
        [&](const LogFileStopped& stopped) {
            const StoppedLog& log = stopped.log;
            begin("log_stopped", stopped.environment);
            addText("condition", toNarrow(log.condition));
            addText("file", pathText(log.path));
            addNumber("records", log.records);
            addTextOrNull("reason", log.error ? log.error.message() : std::string{});
            write();
        },
        [&](const RecordingsRefused& refused) {
            begin("recordings_refused", refused.environment);
            addNumber("refused", refused.refused);
            write();
        },
        [&](const ServiceFailed& failed) {
            begin("error");
            addText("message", withoutLineEnd(failed.text));
            write();
            out_.flush();
        },
        [&](const PortLost& lost) {
            writeAtOnce("port_lost", lost.environment, "port", toNarrow(lost.port), &lost.reason);
        },
        // Connection events are no records: written under --quiet too, and at once.
        [&](const ConnectionOpened& opened) {
            writeAtOnce("connection_opened", opened.environment, "peer", opened.peer);
        },
        [&](const ConnectionClosed& closed) {
            writeAtOnce("connection_closed", closed.environment, "peer", closed.peer);
        },
        [&](const ConnectFailed& failed) {
            writeAtOnce("connect_failed", failed.environment, "port", toNarrow(failed.port), &failed.reason);
        },
        [&](const LossCounted& loss) {
            // "added" since the last report, "total" since the run started.
            begin(lossType(loss.kind), loss.environment);
            addNumber("added", loss.added);
            addNumber("total", loss.total);
            write();
        },
    };
    std::visit(writeLine, event);
}

}  // namespace orvalix::cli
