#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "core/expression/compiled_expression.hpp"
#include "core/expression/name_hash.hpp"

namespace orvalix {
namespace {

// What a rule takes from the value stack, what it puts back, and which token (if any) carries
// its value or its name.
struct RuleShape {
    std::size_t pops = 0;
    bool pushes = true;
    int valueToken = -1;
    int nameToken = -1;
};

RuleShape shapeOf(GrammarRuleId rule) {
    switch (rule) {
    case GrammarRuleId::Number:
    case GrammarRuleId::Time:
        return {0, true, 0, -1};
    case GrammarRuleId::CrcCcitt1:
    case GrammarRuleId::Sum:
    case GrammarRuleId::Bcc:
    case GrammarRuleId::Bcc2:
        return {2, true, -1, 2};
    case GrammarRuleId::Binary:
    case GrammarRuleId::Additive:
        return {2, true, 1, -1};
    case GrammarRuleId::Unary:
    case GrammarRuleId::Complement:
        return {1, true, 0, -1};
    case GrammarRuleId::Index:
        return {1, true, -1, 0};
    case GrammarRuleId::SinceLastRx:
    case GrammarRuleId::SinceLastTx:
        return {0, true, -1, -1};
    default:
        return {0, false, -1, -1};  // grouping and unknown rules leave no value
    }
}

// Operator codes outside int32 fall to the evaluator's "unknown operator" case all the same.
std::int32_t operatorCode(std::int64_t code) {
    constexpr std::int64_t kUnknown = std::numeric_limits<std::int32_t>::min();
    return code < std::numeric_limits<std::int32_t>::min() || code > std::numeric_limits<std::int32_t>::max()
               ? static_cast<std::int32_t>(kUnknown)
               : static_cast<std::int32_t>(code);
}

class Flattener {
public:
    // False when the reduction would read a missing operand or token, or overflow the stack.
    bool add(const Reduction& reduction) {
        const auto rule = static_cast<GrammarRuleId>(reduction.rule);
        const RuleShape shape = shapeOf(rule);
        const int needed = std::max(shape.valueToken, shape.nameToken);
        if (depth_ < shape.pops || (needed >= 0 && static_cast<std::size_t>(needed) >= reduction.tokens.size())) {
            return false;
        }
        depth_ = depth_ - shape.pops + (shape.pushes ? 1 : 0);
        if (depth_ > kValueStackCapacity) {
            return false;
        }
        const std::int64_t value =
            shape.valueToken >= 0 ? reduction.tokens[static_cast<std::size_t>(shape.valueToken)].value : 0;
        const std::int32_t name =
            shape.nameToken >= 0 ? placeOf(reduction.tokens[static_cast<std::size_t>(shape.nameToken)].name) : 0;
        switch (rule) {
        case GrammarRuleId::Number:
            emit({InstructionKind::Push, 0, value});
            break;
        case GrammarRuleId::CrcCcitt1:
        case GrammarRuleId::Sum:
        case GrammarRuleId::Bcc:
        case GrammarRuleId::Bcc2:
            emit({InstructionKind::Range, name, reduction.rule});
            break;
        case GrammarRuleId::Binary:
        case GrammarRuleId::Additive:
            // The right operand was pushed by the step just before: it becomes part of this one.
            if (lastPushes()) {
                instructions_.back() = {InstructionKind::OperateWith, operatorCode(value), instructions_.back().value};
            } else {
                emit({InstructionKind::Operate, operatorCode(value), 0});
            }
            break;
        case GrammarRuleId::Unary:
        case GrammarRuleId::Complement:
            emit({InstructionKind::OperateUnary, operatorCode(value), 0});
            break;
        case GrammarRuleId::Index:
            if (lastPushes()) {
                instructions_.back() = {InstructionKind::IndexAt, name, instructions_.back().value};
            } else {
                emit({InstructionKind::Index, name, 0});
            }
            break;
        case GrammarRuleId::Time:
            emit({InstructionKind::Time, 0, value});
            break;
        case GrammarRuleId::SinceLastRx:
            emit({InstructionKind::SinceLastReceive, 0, 0});
            break;
        case GrammarRuleId::SinceLastTx:
            emit({InstructionKind::SinceLastTransmit, 0, 0});
            break;
        default:
            break;
        }
        return true;
    }

    std::vector<Instruction> takeInstructions() { return std::move(instructions_); }
    std::vector<ProgramName> takeNames() { return std::move(names_); }

private:
    void emit(const Instruction& instruction) { instructions_.push_back(instruction); }

    bool lastPushes() const { return !instructions_.empty() && instructions_.back().kind == InstructionKind::Push; }

    std::int32_t placeOf(const std::u16string& name) {
        const auto known =
            std::find_if(names_.begin(), names_.end(), [&name](const ProgramName& n) { return n.text == name; });
        if (known != names_.end()) {
            return static_cast<std::int32_t>(known - names_.begin());
        }
        names_.push_back(ProgramName{name, hashName(name)});
        return static_cast<std::int32_t>(names_.size() - 1);
    }

    std::size_t depth_ = 0;
    std::vector<Instruction> instructions_;
    std::vector<ProgramName> names_;
};

}  // namespace

void flattenProgram(CompiledExpression& expression) {
    if (expression.reductions.empty()) {
        return;  // already flat, or empty
    }
    Flattener flattener;
    for (const Reduction& reduction : expression.reductions) {
        if (!flattener.add(reduction)) {
            expression.instructions.clear();
            expression.names.clear();
            expression.flattenedLastRule.reset();
            return;
        }
    }
    // Exactly sized: a loaded project keeps every program for as long as it is open.
    expression.instructions = flattener.takeInstructions();
    expression.instructions.shrink_to_fit();
    expression.names = flattener.takeNames();
    expression.names.shrink_to_fit();
    expression.flattenedLastRule = expression.reductions.back().rule;
    expression.reductions = std::vector<Reduction>();  // assigning {} would keep the storage
}

}  // namespace orvalix
