#include "core/verdict/expectation.hpp"

#include <algorithm>
#include <array>
#include <charconv>

#include "core/service/cell_text.hpp"
#include "core/text/text_conversion.hpp"

namespace orvalix {
namespace {

struct ComparisonName {
    std::string_view text;
    Comparison comparison;
};

constexpr std::array<ComparisonName, 5> kComparisons = {{
    {">=", Comparison::AtLeast},
    {"<=", Comparison::AtMost},
    {"==", Comparison::Equal},
    {">", Comparison::Above},
    {"<", Comparison::Below},
}};

constexpr std::string_view kOperatorCharacters = "<>=!";
constexpr std::string_view kStepPrefix = "step:";

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string listOf(std::span<const std::u16string> names) {
    std::string list;
    for (const std::u16string& name : names) {
        list += (list.empty() ? "" : ", ") + toNarrow(name);
    }
    return list.empty() ? "none" : list;
}

template <class Items, class Name>
bool anyNamed(const Items& items, std::u16string_view wanted, Name nameOf) {
    return std::ranges::any_of(items, [&](const auto& item) { return nameOf(item) == wanted; });
}

}  // namespace

ExpectationParse parseExpectation(std::string_view text, const EnvironmentMap& environments,
                                  std::span<const std::u16string> usableEnvironments) {
    const std::string quoted = "'" + std::string(text) + "'";
    const auto fail = [&quoted](const std::string& why) { return ExpectationParse{std::nullopt, quoted + ": " + why}; };

    const std::size_t operatorStart = text.find_first_of(kOperatorCharacters);
    if (operatorStart == std::string_view::npos) {
        return fail("no comparison; write it as ENV:WHAT OP N with OP one of >=, <=, ==, >, <");
    }
    const std::size_t operatorEnd = std::min(text.find_first_not_of(kOperatorCharacters, operatorStart), text.size());
    const std::string_view operatorText = text.substr(operatorStart, operatorEnd - operatorStart);
    const auto comparison = std::ranges::find(kComparisons, operatorText, &ComparisonName::text);
    if (comparison == kComparisons.end()) {
        return fail("bad operator '" + std::string(operatorText) + "'; use one of >=, <=, ==, >, <");
    }

    const std::string_view countText = trimmed(text.substr(operatorEnd));
    std::uint64_t count = 0;
    const auto [stop, error] = std::from_chars(countText.data(), countText.data() + countText.size(), count);
    if (countText.empty() || error != std::errc{} || stop != countText.data() + countText.size()) {
        return fail("the count must be a whole number of 0 or more, not '" + std::string(countText) + "'");
    }

    const std::string_view subject = trimmed(text.substr(0, operatorStart));
    const std::size_t colon = subject.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == subject.size()) {
        return fail("write what is counted as ENV:received, ENV:sent, ENV:NAME or ENV:step:LABEL");
    }
    Expectation expectation{std::string(text), toWide(subject.substr(0, colon)), Measure::Received, {},
                            comparison->comparison, count};
    const auto usable = std::ranges::find(usableEnvironments, expectation.environment);
    const auto environment = environments.find(expectation.environment);
    if (usable == usableEnvironments.end() || environment == environments.end()) {
        return fail("unknown environment \"" + std::string(subject.substr(0, colon)) +
                    "\" (the run serves: " + listOf(usableEnvironments) + ")");
    }

    const std::string_view what = subject.substr(colon + 1);
    if (what == "received" || what == "sent") {
        expectation.measure = what == "received" ? Measure::Received : Measure::Sent;
    } else if (what.starts_with(kStepPrefix)) {
        expectation.measure = Measure::StepSent;
        expectation.name = toWide(what.substr(kStepPrefix.size()));
        if (expectation.name.empty() || !anyNamed(environment->second.sequence, expectation.name, stepLabel)) {
            return fail("environment " + toNarrow(expectation.environment) + " has no step labelled \"" +
                        std::string(what.substr(kStepPrefix.size())) + "\"");
        }
    } else {
        expectation.measure = Measure::MarkRises;
        expectation.name = toWide(what);
        if (!anyNamed(environment->second.namedConditions, expectation.name, conditionName)) {
            return fail("environment " + toNarrow(expectation.environment) + " has no named condition \"" +
                        std::string(what) + "\"");
        }
    }
    return {std::move(expectation), {}};
}

std::uint64_t measuredCount(const Expectation& expectation, const Environment& environment,
                            const EnvironmentCoverage& coverage) {
    std::uint64_t total = 0;
    switch (expectation.measure) {
        case Measure::Received:
            return coverage.received;
        case Measure::Sent:
            return coverage.sent;
        case Measure::MarkRises:
            for (std::size_t i = 0; i < environment.namedConditions.size() && i < coverage.conditions.size(); ++i) {
                if (conditionName(environment.namedConditions[i]) == expectation.name) {
                    total += coverage.conditions[i].markRises;
                }
            }
            return total;
        case Measure::StepSent:
            for (std::size_t i = 0; i < environment.sequence.size() && i < coverage.steps.size(); ++i) {
                if (stepLabel(environment.sequence[i]) == expectation.name) {
                    total += coverage.steps[i].sent;
                }
            }
            return total;
    }
    return total;
}

bool holds(const Expectation& expectation, std::uint64_t measured) {
    switch (expectation.comparison) {
        case Comparison::AtLeast: return measured >= expectation.count;
        case Comparison::AtMost: return measured <= expectation.count;
        case Comparison::Equal: return measured == expectation.count;
        case Comparison::Above: return measured > expectation.count;
        case Comparison::Below: return measured < expectation.count;
    }
    return false;
}

std::string expectedText(const Expectation& expectation) {
    const auto named = std::ranges::find(kComparisons, expectation.comparison, &ComparisonName::comparison);
    return std::string(named->text) + ' ' + std::to_string(expectation.count);
}

}  // namespace orvalix
