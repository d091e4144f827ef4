#include "core/session/update_traffic.hpp"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/diagnostics/trace_messages.hpp"
#include "core/bytes/byte_buffer.hpp"
#include "core/traffic/extra_block.hpp"
#include "core/traffic/log_files.hpp"

namespace orvalix {

void updateTraffic(const PumpParts& parts, std::u16string_view name, const Environment& environment,
                   TrafficStream* stream, ReplyTimes& replies) {
    namespace messages = trace_messages;
    parts.trace.record(messages::kUpdateStart);

    // No record is longer than the largest frame, whatever settings the store's ring was made
    // from (a folder opened again while a run still held the old one).
    std::vector<std::uint8_t> data(kMaxFrameLength);
    std::vector<std::uint8_t> extra(extraBlockSize(environment.namedConditions.size()));
    PendingLogRecords pending;
    std::int32_t appended = 0;
    std::int32_t marks = 0;
    parts.trace.record(messages::kUpdatePreparedBuffers);

    for (;;) {
        std::uint64_t time = 0;
        UdpEndpoint peer;
        std::fill(extra.begin(), extra.end(), std::uint8_t{0});
        const std::int32_t length = parts.service.popTraffic(name, data, time, extra, peer);
        parts.trace.record(messages::kUpdatePumpedUp, length);
        if (length < 1) {
            break;
        }
        const auto record = std::span<const std::uint8_t>(data).first(
            std::min(static_cast<std::size_t>(length), data.size()));
        if (stream != nullptr) {
            stream->append(record, time, extra);
            ++appended;
            marks += stream->addMarks(time, extra);
            parts.sink.onEvent(RecordPumped{name, environment, record, time, extra});
        }
        if (parts.capture != nullptr) {
            parts.capture->addRecord(name, record, time, extra, peer);
        }
        replies.note((attribute(extra) & kReceivedAttribute) != 0, time);
        parts.trace.record(messages::kUpdateTransferred);
        // The record is already the stream's newest: a new log file starts with it.
        if (stream != nullptr) {
            const TriggerOutcome outcome = parts.recorder.triggerStep(parts.dataFolder, name, environment, *stream,
                                                                      record, time, extra, pending);
            for (const StartedLog& log : outcome.started) {
                parts.sink.onEvent(LogFileStarted{name, log});
            }
            for (const StoppedLog& log : outcome.stopped) {
                parts.sink.onEvent(LogFileStopped{name, log});
            }
            if (outcome.refused > 0) {
                parts.sink.onEvent(RecordingsRefused{name, outcome.refused});
            }
        }
        parts.trace.record(messages::kUpdateSavedToDisk);
    }

    if (stream != nullptr && (appended > 0 || marks > 0)) {
        parts.sink.onEvent(StreamUpdated{name, *stream, marks, appended});
    }
    parts.trace.record(messages::kUpdateUpdatedWindow);
    for (const StoppedLog& log : parts.recorder.flush(name, pending)) {
        parts.sink.onEvent(LogFileStopped{name, log});
    }
    parts.trace.record(messages::kUpdateSavedAfterTrigger);
}

}  // namespace orvalix
