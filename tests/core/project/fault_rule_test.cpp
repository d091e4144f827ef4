#include "core/project/fault_rule.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/text/text_conversion.hpp"

namespace orvalix {
namespace {

std::vector<std::u16string> row(const std::vector<std::string>& cells) {
    std::vector<std::u16string> wide;
    for (const std::string& cell : cells) {
        wide.push_back(toWide(cell));
    }
    return wide;
}

// "delay 20/0 p100 limit -": the action, its parameter pair, probability and limit.
std::string describe(const FaultRule& rule) {
    char probability[32];
    std::snprintf(probability, sizeof probability, "%g", rule.probability);
    return std::string(faultActionWord(rule.action)) + " " + std::to_string(rule.first) + "/" +
           std::to_string(rule.second) + " p" + probability + " limit " +
           (rule.limit ? std::to_string(*rule.limit) : "-") + (rule.whenText.empty() ? "" : " when");
}

TEST(FaultRow, ARowMakesARuleOfItsActionParameterProbabilityAndLimit) {
    const struct {
        const char* rule;
        std::vector<std::string> cells;
        std::string made;
    } cases[] = {
        {"the fewest cells: name and action", {"lost", "", "drop"}, "drop 0/0 p100 limit -"},
        {"blanks around cells are not part of them", {" lost ", " ", " drop ", " ", " ", " "}, "drop 0/0 p100 limit -"},
        {"a condition", {"two", "T[0] == 2", "drop"}, "drop 0/0 p100 limit - when"},
        {"delay in milliseconds", {"slow", "", "delay", "250"}, "delay 250/0 p100 limit -"},
        {"corrupt: offset and mask, hexadecimal allowed", {"bad", "", "corrupt", "0x10:0x80"}, "corrupt 16/128 p100 limit -"},
        {"truncate to nothing", {"cut", "", "truncate", "0"}, "truncate 0/0 p100 limit -"},
        {"split: where and the gap", {"halves", "", "split", "3:5"}, "split 3/5 p100 limit -"},
        {"a probability with a fraction, and a limit", {"coin", "", "duplicate", "", "12.5", "3"},
         "duplicate 0/0 p12.5 limit 3"},
        {"ignore, limit 0", {"deaf", "R[0] == 1", "ignore", "", "100", "0"}, "ignore 0/0 p100 limit 0 when"},
    };
    for (const auto& c : cases) {
        const FaultRowParse parse = parseFaultRow(row(c.cells));
        ASSERT_TRUE(parse.rule) << c.rule << ": " << parse.error.message;
        EXPECT_EQ(describe(*parse.rule), c.made) << c.rule;
    }
}

TEST(FaultRow, ARowThatMakesNoRuleNamesItsColumnAndWhy) {
    const struct {
        std::vector<std::string> cells;
        std::size_t column;
        std::string message;
    } cases[] = {
        {{"", "", "drop"}, 1, "a fault needs a name"},
        {{"x", "1 +", "drop"}, 2, "the condition '1 +' does not compile"},
        {{"x", "", "Drop"}, 3, "unknown action 'Drop': delay, drop, corrupt, truncate, duplicate, split or ignore"},
        {{"x"}, 3, "unknown action '': delay, drop, corrupt, truncate, duplicate, split or ignore"},
        {{"x", "", "drop", "5"}, 4, "drop takes no parameter, not '5'"},
        {{"x", "", "delay", ""}, 4, "delay needs milliseconds from 0 to 60000, not ''"},
        {{"x", "", "delay", "60001"}, 4, "delay needs milliseconds from 0 to 60000, not '60001'"},
        {{"x", "", "delay", "-1"}, 4, "delay needs milliseconds from 0 to 60000, not '-1'"},
        {{"x", "", "corrupt", "3"}, 4, "corrupt needs OFFSET:MASK, a byte offset and a mask from 1 to 0xFF, not '3'"},
        {{"x", "", "corrupt", "3:0"}, 4, "corrupt needs OFFSET:MASK, a byte offset and a mask from 1 to 0xFF, not '3:0'"},
        {{"x", "", "corrupt", "3:256"}, 4,
         "corrupt needs OFFSET:MASK, a byte offset and a mask from 1 to 0xFF, not '3:256'"},
        {{"x", "", "split", "0:5"}, 4,
         "split needs AT:GAP_MS, a byte offset above 0 and a gap from 0 to 60000 ms, not '0:5'"},
        {{"x", "", "truncate", "many"}, 4, "truncate needs the number of bytes to keep, not 'many'"},
        {{"x", "", "drop", "", "101"}, 5, "probability needs a percentage from 0 to 100, not '101'"},
        {{"x", "", "drop", "", "-5"}, 5, "probability needs a percentage from 0 to 100, not '-5'"},
        {{"x", "", "drop", "", "50%"}, 5, "probability needs a percentage from 0 to 100, not '50%'"},
        {{"x", "", "drop", "", "", "-1"}, 6, "limit needs a count of 0 or more, not '-1'"},
    };
    for (const auto& c : cases) {
        const FaultRowParse parse = parseFaultRow(row(c.cells));
        EXPECT_FALSE(parse.rule) << c.message;
        EXPECT_EQ(parse.error.column, c.column) << c.message;
        EXPECT_EQ(parse.error.message, c.message);
    }
}

TEST(FaultSeed, AWholeNumberFromZeroTo2To64Minus1AndNothingElse) {
    const std::pair<std::string_view, std::optional<std::uint64_t>> cases[] = {
        {"0", 0}, {"1", 1}, {"18446744073709551615", 18446744073709551615u},
        {"18446744073709551616", std::nullopt},  // one above the largest
        {"", std::nullopt}, {"-1", std::nullopt}, {"+1", std::nullopt}, {" 1", std::nullopt}, {"1 ", std::nullopt},
        {"0x10", std::nullopt}, {"1.5", std::nullopt},
    };
    for (const auto& [text, seed] : cases) {
        EXPECT_EQ(parseFaultSeed(text), seed) << text;
    }
}

}  // namespace
}  // namespace orvalix
