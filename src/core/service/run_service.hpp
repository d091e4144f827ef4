#pragma once

#include <chrono>
#include <vector>

#include "core/ports/port.hpp"
#include "core/service/service_shared.hpp"

namespace orvalix {

// The service cycle: receive, evaluate, transmit.
inline constexpr std::chrono::milliseconds kCyclePeriod{10};

// Sorts the opened ports by environment name, larger name first: the order of every phase.
void sortDescending(std::vector<OpenedPort>& opened);

// The service thread's body: start-up, the 10 ms cycle until the stop event is signalled,
// shutdown. An exception ends the run with its text in lastError; "Controller.csv" is written
// into the trace folder at the end either way.
void runService(SimulationService::Shared& shared, const ServiceOptions& options, PortContext portContext);

}  // namespace orvalix
