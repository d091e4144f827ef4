#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/project/project.hpp"
#include "core/service/run_coverage.hpp"

namespace orvalix {

// What an expectation counts in its environment.
enum class Measure {
    Received,   // "ENV:received": frames received
    Sent,       // "ENV:sent": frames sent
    MarkRises,  // "ENV:NAME": records at which the named condition's mark rose
    StepSent,   // "ENV:step:LABEL": frames the steps with that label sent
};

enum class Comparison { AtLeast, AtMost, Equal, Above, Below };

// "U1:received >= 5", read: a count of a run, compared with a number.
struct Expectation {
    std::string text;  // as written
    std::u16string environment;
    Measure measure = Measure::Received;
    std::u16string name;  // the named condition or the step label
    Comparison comparison = Comparison::AtLeast;
    std::uint64_t count = 0;
    friend bool operator==(const Expectation&, const Expectation&) = default;
};

// An expectation, or why the text is not one; the message names the text.
struct ExpectationParse {
    std::optional<Expectation> expectation;
    std::string error;
};

// Reads "ENV:received OP N", "ENV:sent OP N", "ENV:NAME OP N" or "ENV:step:LABEL OP N" (OP one
// of >=, <=, ==, >, <; blanks around it are optional) against the environments a run serves:
// the environment, named condition and label must exist. The words "received", "sent" and
// "step:" win over a named condition of that name.
ExpectationParse parseExpectation(std::string_view text, const EnvironmentMap& environments,
                                  std::span<const std::u16string> usableEnvironments);

// The count the expectation looks at, taken from its environment's coverage.
std::uint64_t measuredCount(const Expectation& expectation, const Environment& environment,
                            const EnvironmentCoverage& coverage);

bool holds(const Expectation& expectation, std::uint64_t measured);

// ">= 5": what the expectation asks for.
std::string expectedText(const Expectation& expectation);

}  // namespace orvalix
