#include "core/service/receive.hpp"

#include <algorithm>
#include <cstring>
#include <span>

#include "core/diagnostics/trace_messages.hpp"
#include "core/expression/evaluate_expression.hpp"
#include "core/service/build_frame.hpp"
#include "core/service/cell_text.hpp"
#include "core/service/edge_bits.hpp"
#include "core/traffic/extra_block.hpp"

namespace orvalix {

namespace messages = trace_messages;

namespace {

void watchPort(ServiceRuntime& runtime, EnvironmentRuntime& environment) {
    const PortHealth health = environment.port.health();
    if (health == environment.portHealth) {
        return;
    }
    environment.portHealth = health;
    runtime.links.reportPort(environment.name, health);
}

}  // namespace

bool readPort(ServiceRuntime& runtime, EnvironmentRuntime& environment) {
    environment.received.length = 0;
    environment.receiveStatus = 0;
    if (environment.portLost()) {
        return false;
    }
    std::uint32_t status = 0;
    SocketAddress sender;
    const std::size_t count = environment.port.read(environment.received.data, status, sender);
    watchPort(runtime, environment);
    if (count == 0) {
        return false;
    }
    environment.received.length = static_cast<std::uint32_t>(std::min(count, kMaxFrameLength));
    environment.receiveStatus = status;
    environment.lastSender = sender;
    runtime.trace.record(messages::kReceivedBytes, static_cast<std::int64_t>(environment.received.length));
    return true;
}

void receivePhase(ServiceRuntime& runtime) {
    for (EnvironmentRuntime& environment : runtime.perEnvironment) {
        readPort(runtime, environment);
    }
    runtime.trace.record(messages::kCollectedAllRxDs);
}

bool characterTimedOut(std::uint64_t now, std::uint64_t lastByteTime, std::int64_t limit) {
    return static_cast<std::int64_t>(now - lastByteTime) > limit;
}

void startStreamReceive(ServiceRuntime& runtime, EnvironmentRuntime& environment) {
    if (environment.received.length > 0) {
        environment.lastByteTime = runtime.now;
    }
    environment.characterTimedOut =
        characterTimedOut(runtime.now, environment.lastByteTime, environment.characterTimeoutLimit);
    if (environment.characterTimedOut) {
        runtime.trace.record(messages::kCharacterTimedOut);
    }
}

void startFrameReceive(EnvironmentRuntime& environment) {
    environment.characterTimedOut = false;
    const std::uint32_t length = environment.received.length;
    std::memcpy(environment.receiveBuffer.data.data(), environment.received.data.data(), length);
    environment.receiveBuffer.length = length;
}

void appendReceivedByte(ByteBuffer& buffer, std::uint8_t byte) {
    if (buffer.length >= kMaxFrameLength) {
        return;
    }
    buffer.data[buffer.length] = byte;
    ++buffer.length;
}

void prepareEnvironmentReceive(ServiceRuntime& runtime, EnvironmentRuntime& environment) {
    EvaluationContext& context = runtime.context;
    context.activity[0] = PortActivity{static_cast<std::int64_t>(runtime.now - environment.lastReceiveTime),
                                       static_cast<std::int64_t>(runtime.now - environment.lastTransmitTime)};
    setNamedBytes(context.names, kReceiveName, environment.receiveBuffer.data.data(),
                  environment.receiveBuffer.length);
    const ByteBuffer& transmitBuffer = environment.transmitSlot.transmitBuffer;
    setNamedBytes(context.names, kTransmitName, transmitBuffer.data.data(), transmitBuffer.length);
    recogniseNamedFrames(runtime, environment);
    if (!environment.stream() && environment.receiveBuffer.length > 0) {
        reportReceivedFrame(runtime, environment);
    }
}

void recogniseNamedFrames(ServiceRuntime& runtime, EnvironmentRuntime& environment) {
    const std::vector<NamedCondition>& conditions = environment.environment->namedConditions;
    for (std::size_t i = 0; i < conditions.size(); ++i) {
        const NamedCondition& condition = conditions[i];
        const bool holds = evaluateExpression(condition.condition, runtime.context) != 0;
        environment.recognisedInPass[i] = holds ? 1 : 0;
        if (!holds) {
            continue;
        }
        storeNamedBytes(environment.receiveBuffer.data.data(), environment.receiveBuffer.length,
                        conditionName(condition), runtime.namedStore, runtime.context.names);
    }
}

void ignoreByFault(ServiceRuntime& runtime, EnvironmentRuntime& environment) {
    const std::vector<FaultRule>& faults = environment.environment->faults;
    ByteBuffer& frame = environment.stream() ? environment.received : environment.receiveBuffer;
    if (faults.empty() || frame.length == 0) {
        return;
    }
    setNamedBytes(runtime.context.names, kReceiveName, frame.data.data(), frame.length);
    const std::optional<std::size_t> fault = chooseFault(faults, true, frame.length, environment.stream(),
                                                         environment.coverage.faults, runtime.faultRandom,
                                                         runtime.context);
    if (!fault) {
        return;
    }
    std::span<std::uint8_t> extra(environment.extraBlock);
    std::fill(extra.begin(), extra.end(), std::uint8_t{0});
    setAttribute(extra, environment.receiveStatus | kReceivedAttribute | faultAttribute(*fault));
    ++environment.coverage.received;
    environment.coverageChanged = true;
    runtime.links.pushTraffic(environment.name, std::span<const std::uint8_t>(frame.data.data(), frame.length),
                              runtime.now, extra, environment.receivedPeer());
    frame.length = 0;
}

void reportReceivedFrame(ServiceRuntime& runtime, EnvironmentRuntime& environment) {
    std::span<std::uint8_t> extra(environment.extraBlock);
    std::fill(extra.begin(), extra.end(), std::uint8_t{0});
    setAttribute(extra, environment.receiveStatus | kReceivedAttribute);
    computeEdgeBits(environment.environment->namedConditions, environment.edges, runtime.context, extra);
    ++environment.coverage.received;
    for (std::size_t i = 0; i < environment.coverage.conditions.size(); ++i) {
        environment.coverage.conditions[i].recognised += environment.recognisedInPass[i];
    }
    countEdgeRises(extra, environment.coverage.conditions);
    environment.coverageChanged = true;
    runtime.links.pushTraffic(environment.name,
                              std::span<const std::uint8_t>(environment.receiveBuffer.data.data(),
                                                            environment.receiveBuffer.length),
                              runtime.now, extra, environment.receivedPeer());
    if (environment.stream()) {
        runtime.trace.record(messages::kDetectedRxFrame);
    }
    environment.lastReceiveTime = runtime.now;
}

}  // namespace orvalix
