#include "core/service/run_coverage.hpp"

#include <algorithm>

namespace orvalix {

void copyChangedCoverage(const EnvironmentCoverage& from, std::size_t firstStep, std::size_t endStep,
                         EnvironmentCoverage& into) {
    into.received = from.received;
    into.sent = from.sent;
    into.conditions = from.conditions;
    into.faults = from.faults;
    into.delayedDropped = from.delayedDropped;
    if (into.steps.size() != from.steps.size()) {
        into.steps = from.steps;  // a shape that does not match is copied whole
        return;
    }
    endStep = std::min(endStep, from.steps.size());
    if (firstStep < endStep) {
        std::copy(from.steps.begin() + static_cast<std::ptrdiff_t>(firstStep),
                  from.steps.begin() + static_cast<std::ptrdiff_t>(endStep),
                  into.steps.begin() + static_cast<std::ptrdiff_t>(firstStep));
    }
}

}  // namespace orvalix
