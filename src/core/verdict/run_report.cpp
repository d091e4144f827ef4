#include "core/verdict/run_report.hpp"

#include <algorithm>

#include "core/service/cell_text.hpp"
#include "core/text/text_conversion.hpp"

namespace orvalix {

std::string StepReport::displayName() const {
    if (!label.empty()) {
        return label;
    }
    return row != 0 ? "row " + std::to_string(row) : "step " + std::to_string(index);
}

std::vector<std::string> EnvironmentReport::neverFired() const {
    std::vector<std::string> never;
    for (const StepReport& step : steps) {
        if (step.counts.held == 0) {
            never.push_back("step " + step.displayName());
        }
    }
    for (const ConditionReport& condition : conditions) {
        if (condition.counts.recognised == 0 && condition.counts.markRises == 0) {
            never.push_back("named " + condition.name);
        }
    }
    return never;
}

bool RunReport::allPassed() const {
    return std::ranges::all_of(expectations, &ExpectationOutcome::passed);
}

EnvironmentReport environmentReport(std::u16string_view name, const Environment& environment,
                                    const EnvironmentCoverage& coverage, std::span<const std::size_t> rows) {
    EnvironmentReport report{toNarrow(name), coverage.received, coverage.sent, {}, {}, {}, coverage.delayedDropped, {}};
    for (std::size_t i = 0; i < environment.sequence.size(); ++i) {
        report.steps.push_back({toNarrow(stepLabel(environment.sequence[i])), i + 1, i < rows.size() ? rows[i] : 0,
                                i < coverage.steps.size() ? coverage.steps[i] : StepCoverage{}});
    }
    for (std::size_t i = 0; i < environment.namedConditions.size(); ++i) {
        report.conditions.push_back({toNarrow(conditionName(environment.namedConditions[i])),
                                     i < coverage.conditions.size() ? coverage.conditions[i] : ConditionCoverage{}});
    }
    for (std::size_t i = 0; i < environment.faults.size(); ++i) {
        const FaultRule& rule = environment.faults[i];
        report.faults.push_back({toNarrow(rule.name), std::string(faultActionWord(rule.action)),
                                 i < coverage.faults.size() ? coverage.faults[i] : 0});
    }
    return report;
}

ExpectationOutcome judge(const Expectation& expectation, bool until, const Environment& environment,
                         const EnvironmentCoverage* coverage) {
    const std::uint64_t got = coverage != nullptr ? measuredCount(expectation, environment, *coverage) : 0;
    return {expectation, until, got, holds(expectation, got)};
}

}  // namespace orvalix
