#include "core/service/service_runtime.hpp"

#include <utility>

#include "core/diagnostics/trace_messages.hpp"
#include "core/service/sequence.hpp"
#include "core/traffic/extra_block.hpp"

namespace orvalix {

UdpEndpoint EnvironmentRuntime::receivedPeer() const {
    return kind == PortKind::Udp || kind == PortKind::Tcp ? socketEndpoint(lastSender) : UdpEndpoint{};
}

UdpEndpoint EnvironmentRuntime::sentPeer(const SocketAddress& destination) const {
    switch (kind) {
        case PortKind::Udp: return socketEndpoint(destination);
        case PortKind::Tcp: {
            // A frame goes to the connection being served, which may not have sent anything yet.
            const ConnectionHealth& connections = portHealth.connections;
            return socketEndpoint(connections.connected() ? connections.peer(connections.opened) : lastSender);
        }
        default: return UdpEndpoint{};
    }
}

namespace {

// Milliseconds to 100 ns units; a negative time-out times out every cycle. Only streams
// (serial lines and TCP) end frames by a gap.
std::int64_t characterTimeoutOf(const PortOptions& options) {
    std::int32_t milliseconds = 0;
    if (const auto* serial = std::get_if<SerialOptions>(&options.kind)) {
        milliseconds = serial->characterTimeoutMs;
    } else if (const auto* tcp = std::get_if<TcpOptions>(&options.kind)) {
        milliseconds = tcp->characterTimeoutMs;
    }
    return std::int64_t{milliseconds} * 10000000 / 1000;
}

}  // namespace

EnvironmentRuntime::EnvironmentRuntime(std::u16string environmentName, const Environment& settings, PortLink link)
    : name(std::move(environmentName)),
      environment(&settings),
      port(link),
      kind(link.kind()),
      characterTimeoutLimit(characterTimeoutOf(settings.port)),
      jumpTargets(resolveJumpTargets(settings.sequence)),
      edges{std::vector<std::int64_t>(settings.namedConditions.size()),
            std::vector<std::int64_t>(settings.namedConditions.size())},
      extraBlock(extraBlockSize(settings.namedConditions.size())),
      coverage{0, 0, std::vector<StepCoverage>(settings.sequence.size()),
               std::vector<ConditionCoverage>(settings.namedConditions.size()),
               std::vector<std::uint64_t>(settings.faults.size()), 0},
      recognisedInPass(settings.namedConditions.size()),
      delayed(needsDelayedFrames(settings.faults) ? std::make_unique<DelayedFrames>() : nullptr) {}

ServiceRuntime::ServiceRuntime(ServiceLinks serviceLinks)
    : links(std::move(serviceLinks)),
      // Only the service thread records, dumps or sizes it: no lock per checkpoint.
      trace(trace_messages::kServiceTraceCapacity, ExecutionTrace::Access::OneThread) {}

void prepareEnvironments(ServiceRuntime& runtime, std::span<const EnvironmentPort> ports) {
    runtime.perEnvironment.clear();
    runtime.perEnvironment.reserve(ports.size());
    for (const EnvironmentPort& opened : ports) {
        const auto found = runtime.environments->find(opened.name);
        if (found == runtime.environments->end()) {
            continue;
        }
        runtime.perEnvironment.emplace_back(found->first, found->second, opened.port);
    }
}

void startClock(ServiceRuntime& runtime, std::uint64_t startTime) {
    runtime.startTime = startTime;
    runtime.lastCycleTime = startTime;
    for (EnvironmentRuntime& environment : runtime.perEnvironment) {
        environment.lastReceiveTime = startTime;
        environment.lastTransmitTime = startTime;
        environment.lastByteTime = startTime;
    }
}

}  // namespace orvalix
