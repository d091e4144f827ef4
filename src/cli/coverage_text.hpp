#pragma once

#include <ostream>
#include <span>

#include "core/verdict/run_report.hpp"

namespace orvalix::cli {

// Per environment that answered, how long its replies took; nothing when none did.
void printReplyTimes(std::ostream& out, std::span<const EnvironmentReport> environments);

// Per environment, what each step and named condition did, and what never fired. A long
// sequence shows its first steps only; the report file has them all.
void printCoverage(std::ostream& out, std::span<const EnvironmentReport> environments);

// The expectations as a table (expected, got, PASS or FAIL) and the verdict line; nothing
// when there are none.
void printVerdict(std::ostream& out, std::span<const ExpectationOutcome> outcomes);

}  // namespace orvalix::cli
