#pragma once

#include <cstdint>

#include "core/project/project.hpp"
#include "core/service/service_runtime.hpp"

namespace orvalix {

// The transmit action of one step's turn: when tx is non-zero, the step's frame exists and the
// port's previous write has finished, builds the frame, writes it and records it as sent. The
// first rule of the environment's fault file that applies may alter the frame, send it twice,
// later, in two parts or not at all. True when the step sent, as far as the sequence knows.
bool transmitStep(ServiceRuntime& runtime, EnvironmentRuntime& environment, const SequenceStep& step,
                  std::int64_t tx);

// Writes the frames that faults held back and that are due by now, while the port takes them.
void sendDueFrames(ServiceRuntime& runtime, EnvironmentRuntime& environment);

}  // namespace orvalix
