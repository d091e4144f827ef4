#pragma once

#include <string_view>

#include "core/diagnostics/execution_trace.hpp"

// Every checkpoint text of the program, exactly as the trace files show them.
namespace orvalix::trace_messages {

// Service thread.
inline constexpr std::string_view kStartService = "Start service.";
inline constexpr std::string_view kOpenedPorts = "Opened ports.";
inline constexpr std::string_view kStartServiceLoop = "Start service loop.";
inline constexpr std::string_view kCyclicProcessStarted = "Cyclic process started.";
inline constexpr std::string_view kPreparedTimes = "Prepared Times.";
inline constexpr std::string_view kGotTxDs = "Got TxDs.";
inline constexpr TraceFormat kReceivedBytes{"Received %d bytes.", TraceFormat::Argument::Int32};
inline constexpr std::string_view kCollectedAllRxDs = "Collected All RxDs.";
inline constexpr std::string_view kStartSequences = "Start Sequences.";
inline constexpr std::string_view kCharacterTimedOut = "Charactor timeouted.";
inline constexpr TraceFormat kTxConditionEvaluated{"TxCondition has evaluated. = %lld", TraceFormat::Argument::Int64};
inline constexpr std::string_view kDetectedRxFrame = "Detected Rx Frame.";
inline constexpr std::string_view kReadyToSend = "Ready to send.";
inline constexpr std::string_view kSent = "Sent.";
inline constexpr TraceFormat kJumpConditionEvaluated{"JumpCondition has evaluated. = %lld",
                                                     TraceFormat::Argument::Int64};
inline constexpr TraceFormat kStartIndex{"Start index is %d", TraceFormat::Argument::Int32};
// On-arrival runs: a pass between the cycles, with the environment's place in the order.
inline constexpr TraceFormat kArrivalPass{"Arrival pass %d.", TraceFormat::Argument::Int32};
inline constexpr TraceFormat kCharacterTimeoutPass{"Time-out pass %d.", TraceFormat::Argument::Int32};

// User-interface thread.
inline constexpr std::string_view kStartApplication = "Start application.";
inline constexpr std::string_view kFailedToInitializeWinSock = "Failed to initialize WinSock2.";
inline constexpr std::string_view kTickStarted = "OnTickUpdateTimer : started.";
inline constexpr std::string_view kTickUpdatedTraffics = "OnTickUpdateTimer : updated traffics.";
inline constexpr std::string_view kTickUpdatedTxDs = "OnTickUpdateTimer : updated TxDs.";
inline constexpr std::string_view kUpdateStart = "UpdateTraffic : Start updating traffics.";
inline constexpr std::string_view kUpdatePreparedBuffers = "UpdateTraffic : Prepared buffers.";
inline constexpr TraceFormat kUpdatePumpedUp{"UpdateTraffic : Pumped up %d bytes.", TraceFormat::Argument::Int32};
inline constexpr std::string_view kUpdateTransferred = "UpdateTraffic : Transfered to traffic stream.";
inline constexpr std::string_view kUpdateSavedToDisk = "UpdateTraffic : Saved to disk.";
inline constexpr std::string_view kUpdateUpdatedWindow = "UpdateTraffic : Updated traffic window.";
inline constexpr std::string_view kUpdateSavedAfterTrigger = "UpdateTraffic : Saved after trigger records.";

// Capacities of the two traces and their files beside the executable.
inline constexpr std::size_t kPrimaryTraceCapacity = 2048;
inline constexpr std::size_t kServiceTraceCapacity = 4096;
inline constexpr std::string_view kPrimaryTraceFile = "Primary.csv";
inline constexpr std::string_view kServiceTraceFile = "Controller.csv";

}  // namespace orvalix::trace_messages
