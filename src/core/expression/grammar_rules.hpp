#pragma once

#include <array>
#include <cstddef>

#include "core/expression/compiled_expression.hpp"
#include "core/expression/token.hpp"

namespace orvalix::detail {

inline constexpr std::size_t kMaxRuleLength = 20;

// A rule matches when the top of the symbol stack holds exactly these kinds; every rule
// reduces its match to a single Expression.
struct GrammarRule {
    GrammarRuleId id = GrammarRuleId::Number;
    std::array<TokenKind, kMaxRuleLength> symbols{};
    std::size_t length = 0;
};

// Table order is the priority: the first rule that matches wins. Binary "+"/"-" comes before
// unary, which is what makes a sign after a complete operand binary, and a byte-order function
// comes before grouping, which would otherwise take its parentheses.
inline constexpr std::array<GrammarRule, 19> kGrammarRules = [] {
    using enum TokenKind;
    using Id = GrammarRuleId;
    return std::array<GrammarRule, 19>{{
        {Id::Number, {Number}, 1},
        {Id::CrcCcitt1, {FunctionCrcCcitt1, LeftParen, Identifier, Comma, Expression, Comma, Expression, RightParen}, 8},
        {Id::Sum, {FunctionSum, LeftParen, Identifier, Comma, Expression, Comma, Expression, RightParen}, 8},
        {Id::Bcc, {FunctionBcc, LeftParen, Identifier, Comma, Expression, Comma, Expression, RightParen}, 8},
        {Id::Bcc2, {FunctionBcc2, LeftParen, Identifier, Comma, Expression, Comma, Expression, RightParen}, 8},
        {Id::CrcPreset,
         {FunctionCrcPreset, LeftParen, Identifier, Comma, Expression, Comma, Expression, RightParen},
         8},
        {Id::Crc,
         {FunctionCrc, LeftParen, Identifier, Comma, Expression, Comma, Expression, Comma, Expression, Comma,
          Expression, Comma, Expression, Comma, Expression, Comma, Expression, Comma, Expression, RightParen},
         20},
        {Id::Copy, {FunctionCopy, LeftParen, Identifier, Comma, Expression, Comma, Expression, RightParen}, 8},
        {Id::ByteOrder, {FunctionByteOrder, LeftParen, Expression, RightParen}, 4},
        {Id::Length, {FunctionLength, LeftParen, Identifier, RightParen}, 4},
        {Id::Grouping, {LeftParen, Expression, RightParen}, 3},
        {Id::Binary, {Expression, BinaryOperator, Expression}, 3},
        {Id::Additive, {Expression, AdditiveOperator, Expression}, 3},
        {Id::Unary, {AdditiveOperator, Expression}, 2},
        {Id::Complement, {ComplementOperator, Expression}, 2},
        {Id::Index, {Identifier, LeftBracket, Expression, RightBracket}, 4},
        {Id::Time, {TimeKeyword}, 1},
        {Id::SinceLastRx, {SinceLastRxKeyword}, 1},
        {Id::SinceLastTx, {SinceLastTxKeyword}, 1},
    }};
}();

}  // namespace orvalix::detail
