#pragma once

#include <cstdint>

#include "core/service/service_runtime.hpp"

namespace orvalix {

// The cycle's time values from its one time stamp; the previous cycle start moves on to now.
void prepareTimes(ServiceRuntime& runtime, std::uint64_t now);

// One cycle after its "Cyclic process started." checkpoint: times, frames, the receive phase,
// then the pass of every environment whose port is not lost, in the runtime's order.
void runCycle(ServiceRuntime& runtime, std::uint64_t now);

}  // namespace orvalix
