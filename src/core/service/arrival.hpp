#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "core/service/service_runtime.hpp"

namespace orvalix {

// Why a pass runs between two cycles: its port had data, or the unfinished frame of a stream
// port reached its character time-out.
enum class PassCause { Arrival, CharacterTimeout };

// One environment's receive and pass at once, between the cycles: the pass takes now as its
// time stamp (and SinceStart follows it; SinceLast and LastSinceStart stay the cycle's).
// True when the port had something to read.
bool passBetweenCycles(ServiceRuntime& runtime, EnvironmentRuntime& environment, std::uint64_t now,
                       PassCause cause);

// The moment (100 ns units) at which a stream port's unfinished frame times out; none for a
// frame port, an empty receive buffer, a lost port, or once its time-out pass has run.
std::optional<std::uint64_t> characterDeadline(const EnvironmentRuntime& environment);

// The earliest character deadline of all environments.
std::optional<std::uint64_t> earliestCharacterDeadline(const ServiceRuntime& runtime);

// The passes a wake-up between the cycles calls for: one for each ready environment (by its
// place in the runtime's order), then one for each whose character deadline has come. A ready
// port that then had nothing to read is no longer watched until the next cycle, so a source
// the system keeps reporting (a hung-up line, say) cannot spin the thread.
void serveBetweenCycles(ServiceRuntime& runtime, std::span<const std::size_t> ready, std::uint64_t now);

}  // namespace orvalix
