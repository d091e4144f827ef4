#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/expression/apply_operator.hpp"
#include "core/expression/compiled_expression.hpp"
#include "core/expression/field_layout.hpp"
#include "core/expression/name_hash.hpp"

namespace orvalix {
namespace {

// Offset, count and the six parameters of the generic CRC.
constexpr std::size_t kCrcOperands = 8;
constexpr std::size_t kCrcParameters = 6;

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
    case GrammarRuleId::Copy:
        return {2, true, -1, 2};
    case GrammarRuleId::CrcPreset:
        return {2, true, 0, 2};
    case GrammarRuleId::Crc:
        return {kCrcOperands, true, -1, 2};
    case GrammarRuleId::ByteOrder:
        return {1, true, 0, -1};
    case GrammarRuleId::Length:
        return {0, true, -1, 2};
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

// A value on the stack as compiling sees it: where the steps that make it begin, and its value
// when it is a constant (numbers and operators over them).
struct Slot {
    std::size_t start = 0;
    std::optional<std::int64_t> constant;
};

std::optional<std::int64_t> foldedValue(GrammarRuleId rule, std::int64_t value, std::span<const Slot> operands) {
    const auto constant = [&operands](std::size_t i) { return operands[i].constant; };
    switch (rule) {
    case GrammarRuleId::Number:
        return value;
    case GrammarRuleId::Binary:
    case GrammarRuleId::Additive:
        if (constant(0) && constant(1)) {
            return applyOperator(value, *constant(0), *constant(1));
        }
        return std::nullopt;
    case GrammarRuleId::Unary:
    case GrammarRuleId::Complement:
        return constant(0) ? std::optional(applyOperator(value, 0, *constant(0))) : std::nullopt;
    case GrammarRuleId::ByteOrder:
        return constant(0) ? std::optional(applyByteOrder(value, *constant(0))) : std::nullopt;
    default:
        return std::nullopt;
    }
}

// The CRC model of six constant parameters, or nothing when any is not constant or the width
// is outside the model.
std::optional<CrcParameters> constantCrcParameters(std::span<const Slot> parameters) {
    for (const Slot& slot : parameters) {
        if (!slot.constant) {
            return std::nullopt;
        }
    }
    const std::int64_t width = *parameters[0].constant;
    if (width < 1 || width > 64) {
        return std::nullopt;
    }
    return CrcParameters{static_cast<int>(width),
                         static_cast<std::uint64_t>(*parameters[1].constant),
                         static_cast<std::uint64_t>(*parameters[2].constant),
                         *parameters[3].constant != 0,
                         *parameters[4].constant != 0,
                         static_cast<std::uint64_t>(*parameters[5].constant)};
}

class Flattener {
public:
    // False when the reduction would read a missing operand or token, or overflow the stack.
    bool add(const Reduction& reduction) {
        const auto rule = static_cast<GrammarRuleId>(reduction.rule);
        const RuleShape shape = shapeOf(rule);
        const int needed = std::max(shape.valueToken, shape.nameToken);
        if (stack_.size() < shape.pops ||
            (needed >= 0 && static_cast<std::size_t>(needed) >= reduction.tokens.size())) {
            return false;
        }
        const std::int64_t value =
            shape.valueToken >= 0 ? reduction.tokens[static_cast<std::size_t>(shape.valueToken)].value : 0;
        const std::int32_t name =
            shape.nameToken >= 0 ? placeOf(reduction.tokens[static_cast<std::size_t>(shape.nameToken)].name) : 0;
        const std::span<const Slot> operands = std::span<const Slot>(stack_).last(shape.pops);
        Slot result{operands.empty() ? instructions_.size() : operands.front().start,
                    foldedValue(rule, value, operands)};
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
        case GrammarRuleId::CrcPreset:
            emit({InstructionKind::RangeCrcPreset, name, value});
            break;
        case GrammarRuleId::Crc:
            addGenericCrc(name, operands.last(kCrcParameters));
            break;
        case GrammarRuleId::Copy:
            emit({InstructionKind::Copy, name, 0});
            break;
        case GrammarRuleId::ByteOrder:
            emit({InstructionKind::ByteOrder, 0, value});
            break;
        case GrammarRuleId::Length:
            emit({InstructionKind::Length, name, 0});
            break;
        case GrammarRuleId::Binary:
        case GrammarRuleId::Additive:
            // The right operand was pushed by the step just before: it becomes part of this one.
            if (lastPushes()) {
                instructions_.back() = {InstructionKind::OperateWith, operatorCode(value), instructions_.back().value};
            } else {
                emit({InstructionKind::Operate, operatorCode(value), 0});
                skipRightOperandAfterZero(value, operands.back().start);
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
        stack_.resize(stack_.size() - shape.pops);
        if (shape.pushes) {
            stack_.push_back(result);
        }
        return stack_.size() <= kValueStackCapacity;
    }

    std::vector<Instruction> takeInstructions() {
        threadSkips();
        return std::move(instructions_);
    }
    std::vector<ProgramName> takeNames() { return std::move(names_); }
    std::vector<CrcTable> takeCrcTables() { return std::move(crcTables_); }

private:
    void emit(const Instruction& instruction) { instructions_.push_back(instruction); }

    bool lastPushes() const { return !instructions_.empty() && instructions_.back().kind == InstructionKind::Push; }

    // Conditions are chains of tests joined by &, most of which fail at their first test: an &
    // whose left operand is 0 need not work out its right one. Not worth a step for a right
    // operand of one step, and never over a COPY, whose bytes are what a frame row sends.
    void skipRightOperandAfterZero(std::int64_t operatorValue, std::size_t rightStart) {
        const auto right = instructions_.begin() + static_cast<std::ptrdiff_t>(rightStart);
        const auto steps = static_cast<std::int64_t>(instructions_.end() - right);  // the & included
        if (operatorCode(operatorValue) != static_cast<std::int32_t>(OperatorCode::BitAnd) || steps < 3 ||
            std::any_of(right, instructions_.end(),
                        [](const Instruction& step) { return step.kind == InstructionKind::Copy; })) {
            return;
        }
        instructions_.insert(right, {InstructionKind::SkipIfZero, 0, steps});
    }

    // In a chain of &s whose first test fails, each skip lands on the next one, which finds the
    // same 0 on the stack and skips in turn: a skip may as well go where the one it lands on goes.
    // From the last, so that the one landed on already goes all the way.
    void threadSkips() {
        for (std::size_t at = instructions_.size(); at-- > 0;) {
            Instruction& skip = instructions_[at];
            if (skip.kind != InstructionKind::SkipIfZero) {
                continue;
            }
            const auto landing = at + 1 + static_cast<std::size_t>(skip.value);
            if (landing < instructions_.size() && instructions_[landing].kind == InstructionKind::SkipIfZero) {
                skip.value += 1 + instructions_[landing].value;
            }
        }
    }

    // Constant parameters make a table once, and the steps that pushed them are dropped.
    void addGenericCrc(std::int32_t name, std::span<const Slot> parameters) {
        if (const auto model = constantCrcParameters(parameters)) {
            instructions_.resize(parameters.front().start);
            crcTables_.emplace_back(*model);
            emit({InstructionKind::RangeCrcTable, name, static_cast<std::int64_t>(crcTables_.size() - 1)});
            return;
        }
        const std::optional<std::int64_t> width = parameters.front().constant;
        const bool widthKnown = width && *width >= 1 && *width <= 64;
        emit({InstructionKind::RangeCrc, name, widthKnown ? *width : 0});
    }

    std::int32_t placeOf(const std::u16string& name) {
        const auto known =
            std::find_if(names_.begin(), names_.end(), [&name](const ProgramName& n) { return n.text == name; });
        if (known != names_.end()) {
            return static_cast<std::int32_t>(known - names_.begin());
        }
        names_.push_back(ProgramName{name, hashName(name)});
        return static_cast<std::int32_t>(names_.size() - 1);
    }

    std::vector<Slot> stack_;
    std::vector<Instruction> instructions_;
    std::vector<ProgramName> names_;
    std::vector<CrcTable> crcTables_;
};

}  // namespace

CompiledExpression flattenProgram(std::vector<Reduction> reductions) {
    if (reductions.empty()) {
        return {};
    }
    Flattener flattener;
    for (const Reduction& reduction : reductions) {
        if (!flattener.add(reduction)) {
            return CompiledExpression(std::move(reductions));
        }
    }
    // Exactly sized: a loaded project keeps every program for as long as it is open.
    CompiledExpression flat;
    flat.instructions_ = flattener.takeInstructions();
    flat.instructions_.shrink_to_fit();
    flat.names_ = flattener.takeNames();
    flat.names_.shrink_to_fit();
    flat.crcTables_ = flattener.takeCrcTables();
    flat.crcTables_.shrink_to_fit();
    flat.flattenedLastRule_ = reductions.back().rule;
    return flat;
}

}  // namespace orvalix
