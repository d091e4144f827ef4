#pragma once

#include <cstdint>

#include "core/project/project.hpp"
#include "core/service/service_runtime.hpp"

namespace orvalix {

// The transmit action of one step's turn: when tx is non-zero, the step's frame exists and the
// port's previous write has finished, builds the frame, writes it and records it as sent.
// True when it sent.
bool transmitStep(ServiceRuntime& runtime, EnvironmentRuntime& environment, const SequenceStep& step,
                  std::int64_t tx);

}  // namespace orvalix
