#pragma once

#include <array>
#include <cstddef>

#include "core/expression/token.hpp"

namespace orvalix::detail {

inline constexpr std::size_t kMaxRuleLength = 8;

// A rule matches when the top of the symbol stack holds exactly these kinds; every rule
// reduces its match to a single Expression.
struct GrammarRule {
    std::array<TokenKind, kMaxRuleLength> symbols{};
    std::size_t length = 0;
};

// Table order is the priority: the first rule that matches wins. Binary "+"/"-" (7) comes
// before unary (8), which is what makes a sign after a complete operand binary.
inline constexpr std::array<GrammarRule, 14> kGrammarRules = [] {
    using enum TokenKind;
    return std::array<GrammarRule, 14>{{
        {{Number}, 1},
        {{FunctionCrcCcitt1, LeftParen, Identifier, Comma, Expression, Comma, Expression, RightParen}, 8},
        {{FunctionSum, LeftParen, Identifier, Comma, Expression, Comma, Expression, RightParen}, 8},
        {{FunctionBcc, LeftParen, Identifier, Comma, Expression, Comma, Expression, RightParen}, 8},
        {{FunctionBcc2, LeftParen, Identifier, Comma, Expression, Comma, Expression, RightParen}, 8},
        {{LeftParen, Expression, RightParen}, 3},
        {{Expression, BinaryOperator, Expression}, 3},
        {{Expression, AdditiveOperator, Expression}, 3},
        {{AdditiveOperator, Expression}, 2},
        {{ComplementOperator, Expression}, 2},
        {{Identifier, LeftBracket, Expression, RightBracket}, 4},
        {{TimeKeyword}, 1},
        {{SinceLastRxKeyword}, 1},
        {{SinceLastTxKeyword}, 1},
    }};
}();

}  // namespace orvalix::detail
