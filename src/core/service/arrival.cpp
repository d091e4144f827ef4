#include "core/service/arrival.hpp"

#include <algorithm>

#include "core/diagnostics/trace_messages.hpp"
#include "core/service/receive.hpp"
#include "core/service/sequence.hpp"

namespace orvalix {

namespace messages = trace_messages;

bool passBetweenCycles(ServiceRuntime& runtime, EnvironmentRuntime& environment, std::uint64_t now,
                       PassCause cause) {
    runtime.now = now;
    runtime.context.times.values[0] = static_cast<std::int64_t>(now - runtime.startTime);  // SinceStart
    const auto place = static_cast<std::int32_t>(&environment - runtime.perEnvironment.data());
    runtime.trace.record(cause == PassCause::Arrival ? messages::kArrivalPass : messages::kCharacterTimeoutPass,
                         place);
    const bool read = readPort(runtime, environment);
    if (!environment.portLost()) {
        environmentPass(runtime, environment);
    }
    return read;
}

std::optional<std::uint64_t> characterDeadline(const EnvironmentRuntime& environment) {
    if (!environment.stream() || environment.portLost() || environment.receiveBuffer.length == 0 ||
        environment.timeoutPassFor == environment.lastByteTime) {
        return std::nullopt;
    }
    // The first moment characterTimedOut holds: more than the limit after the last byte.
    return environment.lastByteTime + static_cast<std::uint64_t>(std::max<std::int64_t>(
                                          environment.characterTimeoutLimit, 0)) + 1;
}

std::optional<std::uint64_t> earliestCharacterDeadline(const ServiceRuntime& runtime) {
    std::optional<std::uint64_t> earliest;
    for (const EnvironmentRuntime& environment : runtime.perEnvironment) {
        if (const std::optional<std::uint64_t> deadline = characterDeadline(environment)) {
            earliest = earliest ? std::min(*earliest, *deadline) : *deadline;
        }
    }
    return earliest;
}

void serveBetweenCycles(ServiceRuntime& runtime, std::span<const std::size_t> ready, std::uint64_t now) {
    for (const std::size_t place : ready) {
        EnvironmentRuntime& environment = runtime.perEnvironment[place];
        const platform::WaitSource watched = environment.port.waitSource();
        const bool read = passBetweenCycles(runtime, environment, now, PassCause::Arrival);
        // A listener that handed over a connection changed its source; only a source that
        // stays as it was and gave nothing is muted.
        environment.arrivalMuted = !read && environment.port.waitSource() == watched;
    }
    for (EnvironmentRuntime& environment : runtime.perEnvironment) {
        const std::optional<std::uint64_t> deadline = characterDeadline(environment);
        if (deadline && *deadline <= now) {
            environment.timeoutPassFor = environment.lastByteTime;
            passBetweenCycles(runtime, environment, now, PassCause::CharacterTimeout);
        }
    }
}

}  // namespace orvalix
