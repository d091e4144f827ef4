#include "core/service/cycle.hpp"

#include "core/diagnostics/trace_messages.hpp"
#include "core/service/receive.hpp"
#include "core/service/sequence.hpp"

namespace orvalix {

namespace messages = trace_messages;

void prepareTimes(ServiceRuntime& runtime, std::uint64_t now) {
    const std::uint64_t previous = runtime.lastCycleTime;
    runtime.lastCycleTime = now;
    runtime.now = now;
    auto& values = runtime.context.times.values;
    values[0] = static_cast<std::int64_t>(now - runtime.startTime);       // SinceStart
    values[1] = static_cast<std::int64_t>(now - previous);                // SinceLast
    values[2] = static_cast<std::int64_t>(previous - runtime.startTime);  // LastSinceStart
}

namespace {

// Once a cycle rather than per record or turn: the copy takes the service object's lock.
void publishCoverage(ServiceRuntime& runtime) {
    if (!runtime.links.reportCoverage) {
        return;
    }
    for (EnvironmentRuntime& environment : runtime.perEnvironment) {
        if (environment.coverageChanged) {
            runtime.links.reportCoverage(environment.name, environment.coverage, environment.firstChangedStep,
                                         environment.endChangedStep);
            environment.coverageChanged = false;
            environment.firstChangedStep = environment.endChangedStep = 0;
        }
    }
}

}  // namespace

void runCycle(ServiceRuntime& runtime, std::uint64_t now) {
    prepareTimes(runtime, now);
    runtime.trace.record(messages::kPreparedTimes);

    // The pointer is copied under the service lock; the definitions themselves are shared.
    runtime.frameCopy = runtime.links.takeFrames();
    runtime.trace.record(messages::kGotTxDs);

    receivePhase(runtime);

    for (auto& [name, bytes] : runtime.namedStore) {
        setNamedBytes(runtime.context.names, name, bytes.data.data(), bytes.length);
    }
    runtime.trace.record(messages::kStartSequences);

    // An environment whose port went away neither evaluates, nor writes, nor reports again.
    for (EnvironmentRuntime& environment : runtime.perEnvironment) {
        environment.arrivalMuted = false;  // the cycle has read it: watched again until it proves quiet
        if (!environment.portLost()) {
            environmentPass(runtime, environment);
        }
    }
    publishCoverage(runtime);
}

}  // namespace orvalix
