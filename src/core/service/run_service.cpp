#include "core/service/run_service.hpp"

#include <algorithm>
#include <chrono>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/diagnostics/trace_messages.hpp"
#include "core/platform/arrival_waiter.hpp"
#include "core/platform/clock.hpp"
#include "core/platform/periodic_timer.hpp"
#include "core/service/arrival.hpp"
#include "core/service/cycle.hpp"
#include "core/service/service_runtime.hpp"

namespace orvalix {

namespace messages = trace_messages;

namespace {

constexpr std::chrono::milliseconds kLongestTimerWait{100};

// The ports in the order of the environments' names, which is the order Start opens them in.
std::vector<PortToOpen> portsToOpen(const EnvironmentMap& environments) {
    std::vector<PortToOpen> ports;
    ports.reserve(environments.size());
    for (const auto& [name, environment] : environments) {
        ports.push_back(PortToOpen{name, environment.port});
    }
    return ports;
}

ServiceLinks linksTo(SimulationService::Shared& shared) {
    return ServiceLinks{
        [&shared] {
            const std::lock_guard lock(shared.lock);
            return shared.frames;
        },
        [&shared](std::u16string_view environment, std::span<const std::uint8_t> data, std::uint64_t time,
                  std::span<const std::uint8_t> extra, UdpEndpoint peer) {
            if (data.empty()) {
                return;  // the store ignores it; no need to take the lock
            }
            const std::lock_guard lock(shared.lock);
            shared.traffic.push(environment, data, time, extra, peer);
        },
        [&shared](std::u16string_view environment, const PortHealth& health) {
            const std::lock_guard lock(shared.lock);
            if (const auto entry = shared.portHealth.find(environment); entry != shared.portHealth.end()) {
                entry->second = health;
            }
        },
        [&shared](std::u16string_view environment, const EnvironmentCoverage& coverage, std::size_t firstStep,
                  std::size_t endStep) {
            const std::lock_guard lock(shared.lock);
            if (const auto entry = shared.coverage.find(environment); entry != shared.coverage.end()) {
                copyChangedCoverage(coverage, firstStep, endStep, entry->second);
            }
        }};
}

void startUp(ServiceRuntime& runtime, SimulationService::Shared& shared, PortContext& portContext,
             std::vector<OpenedPort>& openedPorts) {
    {
        const std::lock_guard lock(shared.lock);
        // A run whose traffic would be lost without a word does not start, like one whose
        // port cannot be opened.
        if (const auto& refused = shared.traffic.refused()) {
            throw std::runtime_error(
                ringRefusalMessage(refused->environment, refused->refusal, portContext.language));
        }
        runtime.environments = shared.environments;
    }
    openAllPorts(portsToOpen(*runtime.environments), portContext, openedPorts);
    sortDescending(openedPorts);
    runtime.trace.record(messages::kOpenedPorts);

    std::vector<EnvironmentPort> ports;
    ports.reserve(openedPorts.size());
    for (OpenedPort& opened : openedPorts) {
        ports.push_back(EnvironmentPort{opened.environmentName, PortLink(opened.port)});
    }
    prepareEnvironments(runtime, ports);

    const std::lock_guard lock(shared.lock);
    for (const OpenedPort& opened : openedPorts) {
        shared.portHealth.try_emplace(opened.environmentName);
    }
    for (const EnvironmentRuntime& environment : runtime.perEnvironment) {
        shared.coverage.insert_or_assign(environment.name, environment.coverage);
    }
}

// The cycle as the default mode runs it: wait for the tick (or the bound), run the cycle.
void serveByTicks(ServiceRuntime& runtime, platform::PeriodicTimer& timer, platform::Event& stopEvent) {
    while (!stopEvent.tryWait()) {
        timer.wait(kLongestTimerWait);  // a cycle runs whether or not the timer fired
        runtime.trace.record(messages::kCyclicProcessStarted);
        runCycle(runtime, platform::currentFileTime());
    }
}

// The same cycles, and between them a pass for each port the moment it has data, and for each
// unfinished stream frame the moment its character time-out expires.
void serveOnArrival(ServiceRuntime& runtime, platform::PeriodicTimer& timer, platform::Event& stopEvent) {
    using Clock = std::chrono::steady_clock;
    platform::ArrivalWaiter waiter(timer.nativeHandle(), runtime.perEnvironment.size());
    std::optional<Clock::time_point> lastCycle;
    while (!stopEvent.tryWait()) {
        for (std::size_t i = 0; i < runtime.perEnvironment.size(); ++i) {
            const EnvironmentRuntime& environment = runtime.perEnvironment[i];
            waiter.watch(i, environment.portLost() || environment.arrivalMuted ? platform::WaitSource{}
                                                                                : environment.port.waitSource());
        }
        std::optional<std::chrono::nanoseconds> untilDeadline;
        if (const std::optional<std::uint64_t> deadline = earliestCharacterDeadline(runtime)) {
            untilDeadline = std::chrono::nanoseconds(
                static_cast<std::int64_t>(*deadline - platform::currentFileTime()) * 100);
        }
        const auto bound = lastCycle ? std::chrono::ceil<std::chrono::milliseconds>(
                                           *lastCycle + kLongestTimerWait - Clock::now())
                                     : std::chrono::milliseconds(0);
        const platform::Wakeup wakeup = waiter.wait(bound, untilDeadline);
        // The first cycle comes before any pass between cycles; a cycle runs whether or not the
        // timer fired once the bound is over.
        if (wakeup.tick || !lastCycle || Clock::now() - *lastCycle >= kLongestTimerWait) {
            lastCycle = Clock::now();
            runtime.trace.record(messages::kCyclicProcessStarted);
            runCycle(runtime, platform::currentFileTime());
            continue;
        }
        serveBetweenCycles(runtime, wakeup.ready, platform::currentFileTime());
    }
}

void closePorts(std::vector<OpenedPort>& openedPorts) {
    // One by one in list order, rather than in whatever order the vector destroys them.
    for (OpenedPort& opened : openedPorts) {
        const OpenPort closing = std::move(opened.port);
    }
    openedPorts.clear();
}

}  // namespace

void sortDescending(std::vector<OpenedPort>& opened) {
    std::sort(opened.begin(), opened.end(), [](const OpenedPort& left, const OpenedPort& right) {
        return left.environmentName > right.environmentName;
    });
}

void runService(SimulationService::Shared& shared, const ServiceOptions& options, PortContext portContext) {
    // The runtime is large (three 16 KiB buffers per environment and the trace): not on the stack.
    const auto runtime = std::make_unique<ServiceRuntime>(linksTo(shared));
    runtime->faultRandom = FaultRandom(options.faultSeed);
    runtime->trace.record(messages::kStartService);
    std::vector<OpenedPort> openedPorts;
    std::optional<platform::PeriodicTimer> timer;
    try {
        startUp(*runtime, shared, portContext, openedPorts);
        timer.emplace(kCyclePeriod);
        startClock(*runtime, platform::currentFileTime());
        runtime->trace.record(messages::kStartServiceLoop);

        if (options.onArrival) {
            serveOnArrival(*runtime, *timer, *shared.stopEvent);
        } else {
            serveByTicks(*runtime, *timer, *shared.stopEvent);
        }
    } catch (const std::exception& error) {
        {
            const std::lock_guard lock(shared.lock);
            shared.lastError = error.what();
        }
        runtime->trace.record(error.what());
    }
    timer.reset();
    // The runtime's links to the ports go before the ports do.
    runtime->perEnvironment.clear();
    closePorts(openedPorts);
    runtime->trace.dumpToFile(options.traceFolder / messages::kServiceTraceFile);
}

}  // namespace orvalix
