#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvalix {

// How often one step of a sequence fired during a run.
struct StepCoverage {
    std::uint64_t held = 0;    // turns at which its transmit condition was non-zero
    std::uint64_t sent = 0;    // frames it transmitted
    std::uint64_t jumped = 0;  // turns at which its jump value was non-zero
    friend bool operator==(const StepCoverage&, const StepCoverage&) = default;
};

// How often one named condition fired during a run.
struct ConditionCoverage {
    std::uint64_t recognised = 0;    // received frames at whose report its condition held
    std::uint64_t markRises = 0;     // records (received or sent) at which its mark rose
    std::uint64_t triggerRises = 0;  // records at which its trigger rose
    friend bool operator==(const ConditionCoverage&, const ConditionCoverage&) = default;
};

// What an environment's script did in a run: one entry per step and per named condition, in
// file order. Counted by the service thread, so records a full history overwrote still count.
struct EnvironmentCoverage {
    std::uint64_t received = 0;
    std::uint64_t sent = 0;
    std::vector<StepCoverage> steps;
    std::vector<ConditionCoverage> conditions;
    std::vector<std::uint64_t> faults;  // per rule of the fault file: how often it applied
    std::uint64_t delayedDropped = 0;   // frames a fault held back that found its queue full
    friend bool operator==(const EnvironmentCoverage&, const EnvironmentCoverage&) = default;
};

// Copies the counts into a coverage of the same shape: everything but the steps outside
// [firstStep, endStep), which have not changed. Allocates nothing when the shapes match.
void copyChangedCoverage(const EnvironmentCoverage& from, std::size_t firstStep, std::size_t endStep,
                         EnvironmentCoverage& into);

}  // namespace orvalix
