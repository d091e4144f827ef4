#pragma once

#include <string_view>

#include "core/capture/capture_file.hpp"
#include "core/diagnostics/execution_trace.hpp"
#include "core/project/project.hpp"
#include "core/service/simulation_service.hpp"
#include "core/session/traffic_sink.hpp"
#include "core/traffic/reply_times.hpp"
#include "core/traffic/traffic_stream.hpp"
#include "core/traffic/trigger_recorder.hpp"

namespace orvalix {

// What the pump's pass over one environment works with.
struct PumpParts {
    ExecutionTrace& trace;
    TrafficSink& sink;
    SimulationService& service;
    TriggerRecorder& recorder;
    std::u16string_view dataFolder;
    CaptureFile* capture;  // null or closed: no capture
};

// Drains the environment's records from the service into its stream (when it has one),
// lets the trigger recordings see each, tells the sink, times the replies, and appends what
// the running recordings gathered to their log files.
void updateTraffic(const PumpParts& parts, std::u16string_view name, const Environment& environment,
                   TrafficStream* stream, ReplyTimes& replies);

}  // namespace orvalix
