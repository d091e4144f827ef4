#include "core/service/transmit.hpp"

#include <algorithm>
#include <span>

#include "core/diagnostics/trace_messages.hpp"
#include "core/service/build_frame.hpp"
#include "core/service/cell_text.hpp"
#include "core/service/edge_bits.hpp"

namespace orvalix {

namespace messages = trace_messages;

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
    if (!environment.port.writeFinished()) {
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
    const std::span<const std::uint8_t> frameBytes(transmitBuffer.data.data(), transmitBuffer.length);
    if (environment.stream()) {
        runtime.trace.record(messages::kReadyToSend);
    }
    environment.port.write(frameBytes, destination);
    if (environment.stream()) {
        runtime.trace.record(messages::kSent);
    }
    runtime.links.pushTraffic(environment.name, frameBytes, runtime.now, extra, environment.sentPeer(destination));
    if (!environment.stream()) {
        runtime.trace.record(messages::kSent);
    }
    environment.lastTransmitTime = runtime.now;
    return true;
}

}  // namespace orvalix
