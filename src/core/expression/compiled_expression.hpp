#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/expression/crc.hpp"
#include "core/expression/token.hpp"

namespace orvalix {

// Rule numbers of the grammar. They are what a program records, so a rule keeps its number
// wherever the table places it.
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
    CrcPreset = 14,
    Crc = 15,
    Copy = 16,
    ByteOrder = 17,
    Length = 18,
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
    RangeCrcPreset,  // preset `value` of name `code` over the two top values
    RangeCrcTable,   // CRC table `value` of the program, of name `code` over the two top values
    RangeCrc,        // generic CRC of name `code` over the eight top values; `value` is the
                     // width when it is a constant, else 0
    ByteOrder,       // byte-order function `value` on the top value
    Length,          // length of name `code`
    Copy,            // bytes of name `code` over the two top values: their count
    SkipIfZero,      // when the top value is 0, skips the next `value` steps: the right operand
                     // of an & and the & itself, since 0 & anything is 0 and nothing has effects,
                     // and those of the &s after it in the chain, which would skip in turn
};

// One step of the flat form that evaluation runs: one reduction, or a number together with
// the index or operator that takes it, with what they read of their tokens taken out. A
// step is one small record in one array, and no token is visited.
struct Instruction {
    InstructionKind kind = InstructionKind::Push;
    // Operator code, or the place of a name in CompiledExpression::names().
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

// A postfix program, in one of two forms. A compiled one holds only its flat form (see
// flattenProgram): the reductions it was made from are let go of, since a large data folder
// holds hundreds of thousands of programs. A program put together by hand, or one that could
// not be flattened, keeps its reductions and is run from them. Empty for a cell that was
// missing or did not compile; evaluating it yields -1. Only flattenProgram makes the flat form,
// so a program never holds both forms nor a flat form that its reductions did not give.
class CompiledExpression {
public:
    CompiledExpression() = default;
    // A program run from its reductions as they are.
    explicit CompiledExpression(std::vector<Reduction> reductions) : reductions_(std::move(reductions)) {}

    bool empty() const { return reductions_.empty() && !flattenedLastRule_; }
    bool flat() const { return reductions_.empty(); }
    // The rule that made the program's value; -1 for an empty program.
    std::int32_t lastRule() const {
        return reductions_.empty() ? flattenedLastRule_.value_or(-1) : reductions_.back().rule;
    }

    // The reductions of a program that is not flat.
    const std::vector<Reduction>& reductions() const { return reductions_; }
    // The flat form's steps, the names they read (each once, in order of first reading) and the
    // tables of the generic CRC calls whose parameters are all constants.
    const std::vector<Instruction>& instructions() const { return instructions_; }
    const std::vector<ProgramName>& names() const { return names_; }
    const std::vector<CrcTable>& crcTables() const { return crcTables_; }

    // A compiled program's flat form is made from its reductions and nothing else, and tells
    // them apart (every token it drops is fixed by the rule), so comparing it compares programs.
    friend bool operator==(const CompiledExpression&, const CompiledExpression&) = default;

private:
    friend CompiledExpression flattenProgram(std::vector<Reduction> reductions);

    std::vector<Reduction> reductions_;
    std::vector<Instruction> instructions_;
    std::vector<ProgramName> names_;
    std::vector<CrcTable> crcTables_;
    // The rule of the last reduction of a flattened program: a frame field's width follows it.
    std::optional<std::int32_t> flattenedLastRule_;
};

// The flat form of the reductions. A program that would read a missing operand or token, or
// nest deeper than the value stack, gets none and keeps its reductions, whose rules for those
// cases the flat form need not repeat.
CompiledExpression flattenProgram(std::vector<Reduction> reductions);

}  // namespace orvalix
