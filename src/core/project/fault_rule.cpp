#include "core/project/fault_rule.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <utility>

#include "core/expression/compile_expression.hpp"
#include "core/text/text_conversion.hpp"
#include "core/text/text_split.hpp"

namespace orvalix {
namespace {

constexpr std::array<std::pair<std::string_view, FaultAction>, 7> kActions{{
    {"delay", FaultAction::Delay},
    {"drop", FaultAction::Drop},
    {"corrupt", FaultAction::Corrupt},
    {"truncate", FaultAction::Truncate},
    {"duplicate", FaultAction::Duplicate},
    {"split", FaultAction::Split},
    {"ignore", FaultAction::Ignore},
}};

// The cell without blanks around it; empty when it holds nothing else.
std::u16string trimmedCell(const std::vector<std::u16string>& row, std::size_t column) {
    if (column >= row.size() || row[column].find_first_not_of(kBlankCharacters) == std::u16string::npos) {
        return {};
    }
    return trimText(row[column], kBlankCharacters);
}

std::string cellText(const std::vector<std::u16string>& row, std::size_t column) {
    return toNarrow(trimmedCell(row, column));
}

// Decimal, or hexadecimal after 0x.
std::optional<std::uint64_t> parseUnsigned(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::pair<std::uint64_t, std::uint64_t>> parsePair(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const auto first = parseUnsigned(text.substr(0, colon));
    const auto second = parseUnsigned(text.substr(colon + 1));
    if (!first || !second) {
        return std::nullopt;
    }
    return std::pair{*first, *second};
}

FaultRowParse failure(std::size_t column, std::string message) { return {std::nullopt, {column, std::move(message)}}; }

// The rule with its parameter, or why the parameter does not fit the action.
FaultRowParse withParameter(FaultRule rule, std::string_view text) {
    const std::string quoted = "'" + std::string(text) + "'";
    switch (rule.action) {
        case FaultAction::Drop:
        case FaultAction::Duplicate:
        case FaultAction::Ignore:
            if (!text.empty()) {
                return failure(
                    4, std::string(faultActionWord(rule.action)) + " takes no parameter, not " + quoted);
            }
            break;
        case FaultAction::Delay: {
            const auto ms = parseUnsigned(text);
            if (!ms || *ms > kLongestFaultDelayMs) {
                return failure(4, "delay needs milliseconds from 0 to " +
                                      std::to_string(kLongestFaultDelayMs) + ", not " + quoted);
            }
            rule.first = static_cast<std::uint32_t>(*ms);
            break;
        }
        case FaultAction::Truncate: {
            const auto kept = parseUnsigned(text);
            if (!kept || *kept > 0xFFFF) {
                return failure(4, "truncate needs the number of bytes to keep, not " + quoted);
            }
            rule.first = static_cast<std::uint32_t>(*kept);
            break;
        }
        case FaultAction::Corrupt: {
            const auto pair = parsePair(text);
            if (!pair || pair->first > 0xFFFF || pair->second == 0 || pair->second > 0xFF) {
                return failure(
                    4, "corrupt needs OFFSET:MASK, a byte offset and a mask from 1 to 0xFF, not " + quoted);
            }
            rule.first = static_cast<std::uint32_t>(pair->first);
            rule.second = static_cast<std::uint32_t>(pair->second);
            break;
        }
        case FaultAction::Split: {
            const auto pair = parsePair(text);
            if (!pair || pair->first == 0 || pair->first > 0xFFFF || pair->second > kLongestFaultDelayMs) {
                return failure(4, "split needs AT:GAP_MS, a byte offset above 0 and a gap from 0 to " +
                                      std::to_string(kLongestFaultDelayMs) + " ms, not " + quoted);
            }
            rule.first = static_cast<std::uint32_t>(pair->first);
            rule.second = static_cast<std::uint32_t>(pair->second);
            break;
        }
    }
    return {std::move(rule), {}};
}

}  // namespace

std::string_view faultActionWord(FaultAction action) {
    for (const auto& [word, value] : kActions) {
        if (value == action) {
            return word;
        }
    }
    return "";
}

FaultRowParse parseFaultRow(const std::vector<std::u16string>& row) {
    FaultRule rule;
    rule.name = trimmedCell(row, 0);
    if (rule.name.empty()) {
        return failure(1, "a fault needs a name");
    }
    rule.whenText = trimmedCell(row, 1);
    if (!rule.whenText.empty()) {
        Compilation<CompiledExpression> compilation = compileExpression(toNarrow(rule.whenText));
        if (!compilation.program) {
            return failure(2, "the condition '" + toNarrow(rule.whenText) + "' does not compile");
        }
        rule.when = std::move(*compilation.program);
    }
    const std::string actionText = cellText(row, 2);
    const auto action = std::find_if(kActions.begin(), kActions.end(),
                                     [&actionText](const auto& entry) { return entry.first == actionText; });
    if (action == kActions.end()) {
        return failure(3, "unknown action '" + actionText +
                              "': delay, drop, corrupt, truncate, duplicate, split or ignore");
    }
    rule.action = action->second;
    FaultRowParse withItsParameter = withParameter(std::move(rule), cellText(row, 3));
    if (!withItsParameter.rule) {
        return withItsParameter;
    }
    rule = std::move(*withItsParameter.rule);
    if (const std::string text = cellText(row, 4); !text.empty()) {
        double percent = -1;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), percent);
        if (error != std::errc{} || end != text.data() + text.size() || !(percent >= 0 && percent <= 100)) {
            return failure(5, "probability needs a percentage from 0 to 100, not '" + text + "'");
        }
        rule.probability = percent;
    }
    if (const std::string text = cellText(row, 5); !text.empty()) {
        const auto limit = parseUnsigned(text);
        if (!limit) {
            return failure(6, "limit needs a count of 0 or more, not '" + text + "'");
        }
        rule.limit = *limit;
    }
    return {std::move(rule), {}};
}

std::optional<std::uint64_t> parseFaultSeed(std::string_view text) {
    std::uint64_t seed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seed);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return seed;
}

std::string faultNameOfRecord(std::span<const FaultRule> rules, std::uint32_t word) {
    const FaultRule* fault = faultOfRecord(rules, word);
    return fault ? toNarrow(fault->name) : std::string{};
}

}  // namespace orvalix
