#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/project/project.hpp"
#include "core/service/run_coverage.hpp"
#include "core/traffic/reply_times.hpp"
#include "core/verdict/expectation.hpp"

namespace orvalix {

// One step as a report shows it: by its label, or its row when it has none.
struct StepReport {
    std::string label;      // UTF-8; empty when the step has none
    std::size_t index = 0;  // 1-based position in the sequence
    std::size_t row = 0;    // 1-based row of the sequence file; 0 when unknown
    StepCoverage counts;
    std::string displayName() const;  // "Reply", or "row 4" (or "step 2" when the row is unknown)
};

struct ConditionReport {
    std::string name;  // UTF-8
    ConditionCoverage counts;
};

// A rule of the fault file and how often it applied.
struct FaultReport {
    std::string name;  // UTF-8
    std::string action;
    std::uint64_t applied = 0;
};

struct EnvironmentReport {
    std::string name;  // UTF-8
    std::uint64_t received = 0;
    std::uint64_t sent = 0;
    std::vector<StepReport> steps;
    std::vector<ConditionReport> conditions;
    std::vector<FaultReport> faults;
    std::uint64_t delayedDropped = 0;            // frames held back by a fault that found the queue full
    std::optional<ReplyTimes::Summary> replies;  // none before the first reply
    // "step row 4", "named AlarmAck": steps whose transmit condition never held and named
    // conditions that never recognised a frame nor marked a record.
    std::vector<std::string> neverFired() const;
};

// An expectation and what the run made of it; an --until is judged as an --expect is.
struct ExpectationOutcome {
    Expectation expectation;
    bool until = false;
    std::uint64_t got = 0;
    bool passed = false;
};

// Everything a run's reports tell; plain values, so the writers need nothing else.
struct RunReport {
    std::string folder;  // UTF-8
    std::string started;  // ISO 8601, UTC
    std::string ended;
    double seconds = 0.0;
    int exitStatus = 0;
    std::uint64_t seed = 0;  // of the fault files' draws
    std::string error;  // the text the run ended with; empty after a normal end
    std::vector<EnvironmentReport> environments;
    std::vector<ExpectationOutcome> expectations;

    bool allPassed() const;
};

// The environment's part of a report; rows are the sequence file's rows of its steps, in step
// order (fewer than the steps, or none, leaves the rest unknown).
EnvironmentReport environmentReport(std::u16string_view name, const Environment& environment,
                                    const EnvironmentCoverage& coverage, std::span<const std::size_t> rows);

// Judges the expectation against the coverage of its environment (none: nothing was counted).
ExpectationOutcome judge(const Expectation& expectation, bool until, const Environment& environment,
                         const EnvironmentCoverage* coverage);

}  // namespace orvalix
