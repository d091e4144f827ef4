#pragma once

#include <cstdint>
#include <vector>

#include "core/expression/token.hpp"

namespace orvalix {

// Rule numbers of the grammar table, in table order.
enum class GrammarRuleId : std::int32_t {
    Number = 0,
    CrcCcitt1 = 1,
    Sum = 2,
    Bcc = 3,
    Bcc2 = 4,
    Grouping = 5,
    Binary = 6,
    Additive = 7,
    Unary = 8,
    Complement = 9,
    Index = 10,
    Time = 11,
    SinceLastRx = 12,
    SinceLastTx = 13,
};

// One reduction: the rule and copies of the tokens it matched, in source order.
struct Reduction {
    std::int32_t rule = 0;
    std::vector<Token> tokens;

    friend bool operator==(const Reduction&, const Reduction&) = default;
};

// A postfix program: reductions in the order they happened. Empty for a cell that was
// missing or did not compile; evaluating it yields -1.
struct CompiledExpression {
    std::vector<Reduction> reductions;

    bool empty() const { return reductions.empty(); }
    friend bool operator==(const CompiledExpression&, const CompiledExpression&) = default;
};

}  // namespace orvalix
