#pragma once

#include <cstdint>
#include <span>

#include "core/project/project.hpp"
#include "core/service/service_runtime.hpp"

namespace orvalix {

// For each step, the last step whose label is the step's jump target (compared exactly), or
// kNoJumpTarget when the target is empty or no step carries it.
JumpTargets resolveJumpTargets(std::span<const SequenceStep> sequence);

// One turn of the environment's sequence from its step index; returns the next step index.
// With reportOnTurn (stream ports: serial, TCP) the turn also decides when the received frame
// is complete.
std::int32_t runSequence(ServiceRuntime& runtime, EnvironmentRuntime& environment, bool reportOnTurn);

// The environment's share of a cycle: receive handling and the sequence's turns, one turn per
// received byte on stream ports, one per cycle on the other ports.
void environmentPass(ServiceRuntime& runtime, EnvironmentRuntime& environment);

}  // namespace orvalix
