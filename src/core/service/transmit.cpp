#include "core/service/transmit.hpp"

#include <algorithm>
#include <span>

#include "core/diagnostics/trace_messages.hpp"
#include "core/service/build_frame.hpp"
#include "core/service/cell_text.hpp"
#include "core/service/edge_bits.hpp"
#include "core/traffic/extra_block.hpp"

namespace orvalix {

namespace messages = trace_messages;

namespace {

bool readyToWrite(EnvironmentRuntime& environment) {
    if (!environment.writeReady) {
        environment.writeReady = environment.port.writeFinished();
    }
    return environment.writeReady;
}

// Writes the bytes and records them as sent, with the extra block given.
void writeAndRecord(ServiceRuntime& runtime, EnvironmentRuntime& environment, std::span<const std::uint8_t> bytes,
                    const SocketAddress& destination, std::span<const std::uint8_t> extra) {
    if (environment.stream()) {
        runtime.trace.record(messages::kReadyToSend);
    }
    environment.writeReady = false;
    environment.port.write(bytes, destination);
    if (environment.stream()) {
        runtime.trace.record(messages::kSent);
    }
    runtime.links.pushTraffic(environment.name, bytes, runtime.now, extra, environment.sentPeer(destination));
    if (!environment.stream()) {
        runtime.trace.record(messages::kSent);
    }
}

// A frame that a fault holds back waits in the environment's queue; one that finds it full is
// not sent at all, and counted.
void holdBack(EnvironmentRuntime& environment, std::span<const std::uint8_t> bytes, std::uint64_t due,
              std::size_t rule, const SocketAddress& destination) {
    if (!environment.delayed || !environment.delayed->push(bytes, due, rule, destination)) {
        ++environment.coverage.delayedDropped;
    }
}

constexpr std::uint64_t kTicksPerMs = 10'000;

// Sends the built frame as the fault says: altered, cut, twice, later, in two parts or not at all.
void sendWithFault(ServiceRuntime& runtime, EnvironmentRuntime& environment, ByteBuffer& frame,
                   const SocketAddress& destination, std::span<std::uint8_t> extra, std::size_t ruleIndex) {
    const FaultRule& rule = environment.environment->faults[ruleIndex];
    setAttribute(extra, attribute(extra) | faultAttribute(ruleIndex));
    const std::span<const std::uint8_t> bytes(frame.data.data(), frame.length);
    switch (rule.action) {
        case FaultAction::Drop:
            runtime.links.pushTraffic(environment.name, bytes, runtime.now, extra, environment.sentPeer(destination));
            return;
        case FaultAction::Corrupt:
            frame.data[rule.first] ^= static_cast<std::uint8_t>(rule.second);
            writeAndRecord(runtime, environment, bytes, destination, extra);
            return;
        case FaultAction::Truncate:
            frame.length = rule.first;
            writeAndRecord(runtime, environment, bytes.first(rule.first), destination, extra);
            return;
        case FaultAction::Duplicate:
            writeAndRecord(runtime, environment, bytes, destination, extra);
            // A stream port takes one write at a time: the copy follows when the first is out.
            if (environment.stream()) {
                holdBack(environment, bytes, runtime.now, ruleIndex, destination);
            } else {
                writeAndRecord(runtime, environment, bytes, destination, extra);
            }
            return;
        case FaultAction::Delay:
            holdBack(environment, bytes, runtime.now + rule.first * kTicksPerMs, ruleIndex, destination);
            return;
        case FaultAction::Split:
            writeAndRecord(runtime, environment, bytes.first(rule.first), destination, extra);
            holdBack(environment, bytes.subspan(rule.first), runtime.now + rule.second * kTicksPerMs, ruleIndex,
                     destination);
            return;
        case FaultAction::Ignore:
            return;  // a receive fault is never chosen for a frame sent
    }
}

}  // namespace

bool transmitStep(ServiceRuntime& runtime, EnvironmentRuntime& environment, const SequenceStep& step,
                  std::int64_t tx) {
    if (tx == 0 || !runtime.frameCopy) {
        return false;
    }
    const auto frame = runtime.frameCopy->find(stepFrameName(step));
    if (frame == runtime.frameCopy->end()) {
        return false;
    }
    // One write in flight per port: a step that finds the last one still going skips its frame.
    if (!readyToWrite(environment)) {
        return false;
    }
    ByteBuffer& transmitBuffer = environment.transmitSlot.transmitBuffer;
    buildFrame(frame->first, frame->second, transmitBuffer, runtime.namedStore, runtime.context);

    std::span<std::uint8_t> extra(environment.extraBlock);
    std::fill(extra.begin(), extra.end(), std::uint8_t{0});
    computeEdgeBits(environment.environment->namedConditions, environment.edges, runtime.context, extra);
    ++environment.coverage.sent;
    countEdgeRises(extra, environment.coverage.conditions);
    environment.coverageChanged = true;

    const SocketAddress destination = udpDestination(environment.lastSender, environment.environment->port);
    const std::optional<std::size_t> fault =
        environment.environment->faults.empty()
            ? std::nullopt
            : chooseFault(environment.environment->faults, false, transmitBuffer.length, environment.stream(),
                          environment.coverage.faults, runtime.faultRandom, runtime.context);
    if (fault) {
        sendWithFault(runtime, environment, transmitBuffer, destination, extra, *fault);
    } else {
        writeAndRecord(runtime, environment, std::span<const std::uint8_t>(transmitBuffer.data.data(), transmitBuffer.length),
                       destination, extra);
    }
    // The sequence goes on as if the frame went out now, whatever a fault did with it.
    environment.lastTransmitTime = runtime.now;
    return true;
}

void sendDueFrames(ServiceRuntime& runtime, EnvironmentRuntime& environment) {
    if (!environment.delayed || environment.delayed->empty()) {
        return;
    }
    std::span<std::uint8_t> extra(environment.extraBlock);
    while (DelayedFrames::Frame* due = environment.delayed->nextDue(runtime.now)) {
        if (!readyToWrite(environment)) {
            return;
        }
        // Its marks went with the frame as built; what goes now carries the fault only.
        std::fill(extra.begin(), extra.end(), std::uint8_t{0});
        setAttribute(extra, faultAttribute(due->rule));
        writeAndRecord(runtime, environment, std::span<const std::uint8_t>(due->bytes.data.data(), due->bytes.length),
                       due->destination, extra);
        environment.delayed->release(*due);
    }
}

}  // namespace orvalix
