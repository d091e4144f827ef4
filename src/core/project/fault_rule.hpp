#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
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

// A record that a fault of the environment's fault file touched carries bit 30 in its attribute
// word, and the rule's 1-based number among the file's rules in bits 16 to 29.
inline constexpr std::uint32_t kFaultAttribute = 0x40000000u;
inline constexpr std::uint32_t faultAttribute(std::size_t ruleIndex) {
    return kFaultAttribute | (static_cast<std::uint32_t>(std::min<std::size_t>(ruleIndex + 1, 0x3FFF)) << 16);
}
// The 1-based number of the rule that touched a record of the attribute word; 0 when none did.
inline constexpr std::size_t faultNumber(std::uint32_t word) {
    return (word & kFaultAttribute) == 0 ? 0 : (word >> 16) & 0x3FFF;
}
// The rule that touched a record of the attribute word, or null.
inline const FaultRule* faultOfRecord(std::span<const FaultRule> rules, std::uint32_t word) {
    const std::size_t number = faultNumber(word);
    return number == 0 || number > rules.size() ? nullptr : &rules[number - 1];
}

// A seed for the fault files' draws as written: a whole number from 0 to 2^64-1, nothing else
// (no sign, no blanks); none when the text is not one.
std::optional<std::uint64_t> parseFaultSeed(std::string_view text);

// The name (UTF-8) of the rule that touched a record of the attribute word; empty when none did.
std::string faultNameOfRecord(std::span<const FaultRule> rules, std::uint32_t word);

// The longest delay and split gap, so a delayed frame's wait stays bounded.
inline constexpr std::uint32_t kLongestFaultDelayMs = 60'000;

}  // namespace orvalix
