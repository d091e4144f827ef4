#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
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

// Deeper than any text of the longest readable length can nest; a deeper hand-made program
// yields -1 as a whole.
inline constexpr std::size_t kValueStackCapacity = 1024;

// What one step of the flat form does with the value stack.
enum class InstructionKind : std::uint8_t {
    Push,             // value
    Operate,          // operator `code` on the two top values
    OperateWith,      // operator `code` on the top value and `value`
    OperateUnary,     // operator `code` on 0 and the top value
    Index,            // byte of name `code` at the top value
    IndexAt,          // byte of name `code` at `value`
    Range,            // range function (rule `value`) of name `code` over the two top values
    Time,             // time value of code `value`
    SinceLastReceive,
    SinceLastTransmit,
};

// One step of the flat form that evaluation runs: one reduction, or a number together with
// the index or operator that takes it, with what they read of their tokens taken out. A
// step is one small record in one array, and no token is visited.
struct Instruction {
    InstructionKind kind = InstructionKind::Push;
    // Operator code, or the place of a name in CompiledExpression::names.
    std::int32_t code = 0;
    std::int64_t value = 0;

    friend bool operator==(const Instruction&, const Instruction&) = default;
};

// A name a program reads, with the hash the names table files it by.
struct ProgramName {
    std::u16string text;
    std::uint32_t hash = 0;

    friend bool operator==(const ProgramName&, const ProgramName&) = default;
};

// A postfix program: reductions in the order they happened. Empty for a cell that was
// missing or did not compile; evaluating it yields -1.
struct CompiledExpression {
    std::vector<Reduction> reductions;
    // The flat form of the reductions, made by compileExpression (see flattenProgram) and
    // run instead of them. A program put together by hand has none and is run from its
    // reductions; so is one whose reductions no longer number as many as were flattened.
    std::vector<Instruction> instructions{};
    std::vector<ProgramName> names{};  // each once, in order of first reading
    std::size_t flattenedReductions = 0;

    bool empty() const { return reductions.empty(); }
    // The flat form follows from the reductions: it takes no part in comparing programs.
    friend bool operator==(const CompiledExpression& left, const CompiledExpression& right) {
        return left.reductions == right.reductions;
    }
};

// Makes the flat form of the reductions. A program that would read a missing operand or
// token, or nest deeper than the value stack, gets none and stays run from its reductions,
// whose rules for those cases the flat form need not repeat.
void flattenProgram(CompiledExpression& expression);

}  // namespace orvalix
