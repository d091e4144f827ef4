#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/diagnostics/execution_trace.hpp"
#include "core/bytes/byte_buffer.hpp"
#include "core/expression/evaluation_context.hpp"
#include "core/ports/port.hpp"
#include "core/project/project.hpp"
#include "core/service/fault_injection.hpp"
#include "core/service/port_link.hpp"
#include "core/service/run_coverage.hpp"

namespace orvalix {

// Per step, the last step that carries its jump target as label; kNoJumpTarget when none does.
using JumpTargets = std::vector<std::int32_t>;
inline constexpr std::int32_t kNoJumpTarget = -1;

// The frame most recently built for an environment. The write completion that the original
// kept as an event beside it is the port's writeFinished().
struct TransmitSlot {
    ByteBuffer transmitBuffer;
};

// Previous mark and trigger values per named condition; a value never evaluated reads as 0,
// which the rising-edge rule treats exactly like an absent entry.
struct EdgeValues {
    std::vector<std::int64_t> markValues;
    std::vector<std::int64_t> triggerValues;
};

// Everything the service thread keeps for one opened environment during a run. Every buffer
// is made once at start-up, so nothing on the per-byte path allocates.
struct EnvironmentRuntime {
    std::u16string name;
    const Environment* environment = nullptr;  // entry of ServiceRuntime::environments
    PortLink port;
    // Fixed for the run, so read once instead of parsing the settings every pass; the kind is
    // the opened port's, which decides how bytes become frames.
    PortKind kind = PortKind::None;
    std::int64_t characterTimeoutLimit = 0;  // 100 ns units

    TransmitSlot transmitSlot;
    // A port tells a write's completion once; one that no write used yet (a fault held the
    // frame back or dropped it) is kept here for the next.
    bool writeReady = false;
    ByteBuffer receiveBuffer;
    std::int32_t stepIndex = 0;
    JumpTargets jumpTargets;
    std::uint64_t lastReceiveTime = 0;
    std::uint64_t lastTransmitTime = 0;
    std::uint64_t lastByteTime = 0;
    SocketAddress lastSender;
    EdgeValues edges;
    std::vector<std::uint8_t> extraBlock;  // sized for the named conditions
    // Counted as the run goes, and published at the end of a cycle that changed it: the steps
    // from firstChangedStep up to endChangedStep only, since a turn touches few of a long
    // sequence's steps. Sized at start-up, as is the flag per named condition that held in
    // the latest pass.
    EnvironmentCoverage coverage;
    bool coverageChanged = false;
    std::size_t firstChangedStep = 0;
    std::size_t endChangedStep = 0;
    std::vector<std::uint8_t> recognisedInPass;
    // Frames the fault file's delay, duplicate and split hold back; only for an environment
    // that has such rules (a slot is a whole frame).
    std::unique_ptr<DelayedFrames> delayed;

    // This cycle's read: the bytes (length 0 when nothing came) and the status word.
    ByteBuffer received;
    std::uint32_t receiveStatus = 0;
    bool characterTimedOut = false;
    // What the port last told; once it is lost the environment sits out every cycle.
    PortHealth portHealth;
    // Between the cycles (on-arrival runs only): set when the port was reported ready but had
    // nothing to read, so that it is not watched again before the next cycle.
    bool arrivalMuted = false;
    // The last byte time whose time-out pass has run: one such pass per frame, even when the
    // pass leaves the frame unfinished (a sequence without steps).
    std::uint64_t timeoutPassFor = ~std::uint64_t{0};

    EnvironmentRuntime(std::u16string environmentName, const Environment& settings, PortLink link);

    // Serial lines and TCP bring a byte stream that the service cuts into frames (a pass per
    // byte, the character time-out), with the checkpoints that tell how; the other kinds bring
    // whole frames.
    bool stream() const { return kind == PortKind::Serial || kind == PortKind::Tcp; }
    bool portLost() const { return portHealth.lostError != 0; }
    // The far end of a received record: the datagram's sender, the TCP connection's peer.
    UdpEndpoint receivedPeer() const;
    // The far end of a record sent to destination: where the datagram went, the TCP peer.
    UdpEndpoint sentPeer(const SocketAddress& destination) const;
};

// How the thread reaches the service object; each takes the object's lock for its copy.
struct ServiceLinks {
    std::function<std::shared_ptr<const FrameMap>()> takeFrames;
    // The peer is the far end of a UDP or TCP record (zero for the other kinds).
    std::function<void(std::u16string_view environment, std::span<const std::uint8_t> data, std::uint64_t time,
                       std::span<const std::uint8_t> extra, UdpEndpoint peer)>
        pushTraffic;
    // Called when what the port tells changed: rarely, except for the drop count under a flood.
    std::function<void(std::u16string_view environment, const PortHealth& health)> reportPort;
    // Called at the end of a cycle that changed the environment's coverage, with the steps
    // [firstStep, endStep) whose counts changed (the rest of the coverage is whole); may be empty.
    std::function<void(std::u16string_view environment, const EnvironmentCoverage& coverage, std::size_t firstStep,
                       std::size_t endStep)>
        reportCoverage;
};

// The run-time state of one run of the service thread; nothing outside the thread sees it.
struct ServiceRuntime {
    explicit ServiceRuntime(ServiceLinks serviceLinks);
    ServiceRuntime(const ServiceRuntime&) = delete;
    ServiceRuntime& operator=(const ServiceRuntime&) = delete;

    ServiceLinks links;
    ExecutionTrace trace;  // the service thread's own
    // Taken at thread start, never refreshed during the run; shared, never copied, and never
    // changed by anyone while a run reads it.
    std::shared_ptr<const EnvironmentMap> environments = std::make_shared<const EnvironmentMap>();
    // Opened environments in descending name order, the order of every phase of every cycle.
    // Elements are never added after start-up: the names table points into their buffers.
    std::vector<EnvironmentRuntime> perEnvironment;
    std::uint64_t startTime = 0;
    std::uint64_t lastCycleTime = 0;  // start of the previous cycle; startTime before the first
    std::uint64_t now = 0;            // the one time stamp of the current cycle
    std::shared_ptr<const FrameMap> frameCopy;
    NamedStore namedStore;
    // Draws for the fault files' probabilities, seeded once per run.
    FaultRandom faultRandom{kDefaultFaultSeed};
    // Reused from cycle to cycle rather than made afresh: every entry is either "R" or "T",
    // which each pass registers before it evaluates anything, or a namedStore entry, which
    // every cycle registers again. So a reused table reads exactly like a fresh one, and the
    // cycle allocates nothing for it.
    EvaluationContext context;
};

// One opened port for prepareEnvironments, in the order the cycle is to visit them.
struct EnvironmentPort {
    std::u16string_view name;
    PortLink port;
};

// Makes the runtime of every opened environment (step index 0, empty buffers, jump targets).
// Names must be keys of runtime.environments.
void prepareEnvironments(ServiceRuntime& runtime, std::span<const EnvironmentPort> ports);

// Takes the start time: the cycle clock and every environment's last-event times begin there.
void startClock(ServiceRuntime& runtime, std::uint64_t startTime);

}  // namespace orvalix
