#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/expression/compiled_expression.hpp"

namespace orvalix {

// File name suffix of an environment's optional fault file.
inline constexpr std::u16string_view kFaultFileSuffix = u".Faults.csv";

enum class FaultAction { Delay, Drop, Corrupt, Truncate, Duplicate, Split, Ignore };

// One row of a fault file: what goes wrong, when, how often and how many times at most.
struct FaultRule {
    std::u16string name;
    std::u16string whenText;  // empty: every frame
    CompiledExpression when;  // over T (the frame about to be sent), or R for Ignore
    FaultAction action = FaultAction::Drop;
    // Delay: ms; Truncate: bytes kept; Corrupt: offset and XOR mask; Split: offset and gap in ms.
    std::uint32_t first = 0;
    std::uint32_t second = 0;
    double probability = 100.0;           // percent
    std::optional<std::uint64_t> limit;  // none: no limit

    bool onReceive() const { return action == FaultAction::Ignore; }
    friend bool operator==(const FaultRule&, const FaultRule&) = default;
};

// A row that does not make a rule: the 1-based column at fault and why.
struct FaultRowError {
    std::size_t column = 0;
    std::string message;
};

struct FaultRowParse {
    std::optional<FaultRule> rule;
    FaultRowError error;  // when there is no rule
};

// Reads one data row: name, when, action, parameter, probability, limit.
FaultRowParse parseFaultRow(const std::vector<std::u16string>& row);

// The action's word in the file ("delay", "drop", ...).
std::string_view faultActionWord(FaultAction action);

// The longest delay and split gap, so a delayed frame's wait stays bounded.
inline constexpr std::uint32_t kLongestFaultDelayMs = 60'000;

}  // namespace orvalix
