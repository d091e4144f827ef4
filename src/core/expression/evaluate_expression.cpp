#include "core/expression/evaluate_expression.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/expression/apply_operator.hpp"
#include "core/expression/checksums.hpp"
#include "core/expression/crc_presets.hpp"
#include "core/expression/field_layout.hpp"
#include "core/expression/name_hash.hpp"

namespace orvalix {
namespace {

using detail::bits;
using detail::signedOf;

// 100 ns units to milliseconds, half up for non-negative times.
constexpr std::int64_t toMilliseconds(std::int64_t time) { return signedOf(bits(time) + 5000U) / 10000; }

// A token that a malformed program lacks reads as -1, like any other failed lookup.
std::int64_t tokenValue(const Reduction& reduction, std::size_t index) {
    return index < reduction.tokens.size() ? reduction.tokens[index].value : -1;
}

using OptionalBytes = std::optional<std::span<const std::uint8_t>>;

// The named bytes, or nothing when the name is unknown.
OptionalBytes bytesOf(const NamedBytes* entry) {
    if (entry == nullptr) {
        return std::nullopt;
    }
    if (entry->data == nullptr) {
        return std::span<const std::uint8_t>{};
    }
    return std::span<const std::uint8_t>(entry->data, entry->length);
}

// The bytes of the name in the reduction's token, or nothing when the token is missing.
OptionalBytes namedBytes(const EvaluationContext& context, const Reduction& reduction, std::size_t index) {
    if (index >= reduction.tokens.size()) {
        return std::nullopt;
    }
    const std::u16string& name = reduction.tokens[index].name;
    return bytesOf(context.names.lookup(name, hashName(name)));
}

std::int64_t indexedByte(const OptionalBytes& bytes, std::int64_t index) {
    if (!bytes || index < 0 || bits(index) >= bytes->size()) {
        return -1;
    }
    return (*bytes)[static_cast<std::size_t>(index)];
}

// The range, or nothing when the name is unknown or the range does not lie within the bytes.
OptionalBytes rangeWithin(const OptionalBytes& bytes, std::int64_t offset, std::int64_t count) {
    // offset + count <= length, rearranged so that no sum can overflow.
    if (!bytes || offset < 0 || count < 0 || count > static_cast<std::int64_t>(bytes->size()) - offset) {
        return std::nullopt;
    }
    return bytes->subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(count));
}

std::int64_t presetCrc(std::int64_t preset, const OptionalBytes& bytes, std::int64_t offset, std::int64_t count) {
    const CrcTable* table = crcPresetTable(preset);
    const OptionalBytes range = rangeWithin(bytes, offset, count);
    return table == nullptr || !range ? -1 : static_cast<std::int64_t>((*table)(*range));
}

std::int64_t tableCrc(const CompiledExpression& expression, std::int64_t table, const OptionalBytes& bytes,
                      std::int64_t offset, std::int64_t count) {
    const OptionalBytes range = rangeWithin(bytes, offset, count);
    return table < 0 || bits(table) >= expression.crcTables().size() || !range
               ? -1
               : static_cast<std::int64_t>(expression.crcTables()[static_cast<std::size_t>(table)](*range));
}

// Offset, count, width, polynomial, initial value, reflect in, reflect out, final xor.
using GenericCrcOperands = std::array<std::int64_t, 8>;

std::int64_t genericCrc(const OptionalBytes& bytes, const GenericCrcOperands& operands) {
    const auto [offset, count, width, polynomial, initial, reflectIn, reflectOut, xorOut] = operands;
    const OptionalBytes range = rangeWithin(bytes, offset, count);
    if (!range || width < 1 || width > 64) {
        return -1;
    }
    const CrcParameters parameters{static_cast<int>(width), bits(polynomial), bits(initial),
                                   reflectIn != 0,          reflectOut != 0,  bits(xorOut)};
    return signedOf(crc(parameters, *range));
}

std::int64_t lengthOf(const EvaluationContext& context, const ProgramName& name, const OptionalBytes& bytes) {
    if (context.building && context.building->name == name.text) {
        return context.building->built;
    }
    return bytes ? static_cast<std::int64_t>(bytes->size()) : -1;
}

// A COPY yields the number of bytes it copies, or -1 when its range is not there.
std::int64_t copyRange(const OptionalBytes& bytes, std::int64_t offset, std::int64_t count,
                       std::span<const std::uint8_t>* copied) {
    const OptionalBytes range = rangeWithin(bytes, offset, count);
    if (copied != nullptr) {
        *copied = range.value_or(std::span<const std::uint8_t>{});
    }
    return range ? count : -1;
}

std::int64_t rangeFunction(GrammarRuleId rule, const OptionalBytes& bytes, std::int64_t offset, std::int64_t count) {
    // offset + count <= length, rearranged so that no sum can overflow.
    if (!bytes || offset < 0 || count > static_cast<std::int64_t>(bytes->size()) - offset) {
        return -1;
    }
    if (count < 0) {
        return rule == GrammarRuleId::CrcCcitt1 || rule == GrammarRuleId::Sum ? -1 : 0;
    }
    const auto range = bytes->subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(count));
    switch (rule) {
    case GrammarRuleId::CrcCcitt1:
        return crcCcitt1(range);
    case GrammarRuleId::Sum:
        return sumChecksum(range);
    case GrammarRuleId::Bcc:
        return bcc(range);
    default:
        return bcc2(range);
    }
}

std::int64_t timeValue(const EvaluationContext& context, std::int64_t code) {
    return code >= 0 && bits(code) < context.times.values.size()
               ? toMilliseconds(context.times.values[static_cast<std::size_t>(code)])
               : -1;
}

std::int64_t activityTime(const EvaluationContext& context, bool receive) {
    const auto found = context.activity.find(0);
    if (found == context.activity.end()) {
        return -1;
    }
    return toMilliseconds(receive ? found->second.sinceLastReceive : found->second.sinceLastTransmit);
}

// Names a program reads that are looked up once per evaluation rather than at every reading;
// programs seldom read more, and the rest are looked up where they are read.
constexpr std::size_t kNamesLookedUpFirst = 4;

// The flat form. Flattening made sure that no instruction finds fewer operands than it takes
// and that the stack never grows past its capacity, so neither is checked here.
std::int64_t runInstructions(const CompiledExpression& expression, const EvaluationContext& context,
                             std::span<const std::uint8_t>* copied) {
    std::array<std::int64_t, kValueStackCapacity> stack;  // only the used part is ever read
    std::size_t depth = 0;
    // Looking names up in advance finds what a lookup when the step runs would: nothing changes them.
    std::array<const NamedBytes*, kNamesLookedUpFirst> firstNames;
    const std::vector<ProgramName>& names = expression.names();
    const std::size_t lookedUp = std::min(names.size(), kNamesLookedUpFirst);
    for (std::size_t i = 0; i < lookedUp; ++i) {
        firstNames[i] = context.names.lookup(names[i].text, names[i].hash);
    }
    const auto bytesNamedBy = [&](const Instruction& instruction) {
        const auto place = static_cast<std::size_t>(instruction.code);
        if (place < kNamesLookedUpFirst) {
            return bytesOf(firstNames[place]);
        }
        const ProgramName& name = names[place];
        return bytesOf(context.names.lookup(name.text, name.hash));
    };
    const std::vector<Instruction>& instructions = expression.instructions();
    const std::size_t steps = instructions.size();
    for (std::size_t at = 0; at < steps; ++at) {
        const Instruction& instruction = instructions[at];
        switch (instruction.kind) {
        case InstructionKind::Push:
            stack[depth++] = instruction.value;
            break;
        case InstructionKind::SkipIfZero:
            if (stack[depth - 1] == 0) {
                at += static_cast<std::size_t>(instruction.value);
            }
            break;
        case InstructionKind::Operate: {
            const std::int64_t right = stack[--depth];
            stack[depth - 1] = applyOperator(instruction.code, stack[depth - 1], right);
            break;
        }
        case InstructionKind::OperateWith:
            stack[depth - 1] = applyOperator(instruction.code, stack[depth - 1], instruction.value);
            break;
        case InstructionKind::OperateUnary:
            stack[depth - 1] = applyOperator(instruction.code, 0, stack[depth - 1]);
            break;
        case InstructionKind::Index:
            stack[depth - 1] = indexedByte(bytesNamedBy(instruction), stack[depth - 1]);
            break;
        case InstructionKind::IndexAt:
            stack[depth++] = indexedByte(bytesNamedBy(instruction), instruction.value);
            break;
        case InstructionKind::Range: {
            const std::int64_t count = stack[--depth];
            stack[depth - 1] = rangeFunction(static_cast<GrammarRuleId>(instruction.value),
                                             bytesNamedBy(instruction), stack[depth - 1], count);
            break;
        }
        case InstructionKind::RangeCrcPreset: {
            const std::int64_t count = stack[--depth];
            stack[depth - 1] = presetCrc(instruction.value, bytesNamedBy(instruction), stack[depth - 1], count);
            break;
        }
        case InstructionKind::RangeCrcTable: {
            const std::int64_t count = stack[--depth];
            stack[depth - 1] =
                tableCrc(expression, instruction.value, bytesNamedBy(instruction), stack[depth - 1], count);
            break;
        }
        case InstructionKind::RangeCrc: {
            GenericCrcOperands operands;
            depth -= operands.size();
            std::copy_n(stack.begin() + static_cast<std::ptrdiff_t>(depth), operands.size(), operands.begin());
            stack[depth++] = genericCrc(bytesNamedBy(instruction), operands);
            break;
        }
        case InstructionKind::Copy: {
            const std::int64_t count = stack[--depth];
            stack[depth - 1] = copyRange(bytesNamedBy(instruction), stack[depth - 1], count, copied);
            break;
        }
        case InstructionKind::ByteOrder:
            stack[depth - 1] = applyByteOrder(instruction.value, stack[depth - 1]);
            break;
        case InstructionKind::Length:
            stack[depth++] = lengthOf(context, names[static_cast<std::size_t>(instruction.code)],
                                      bytesNamedBy(instruction));
            break;
        case InstructionKind::Time:
            stack[depth++] = timeValue(context, instruction.value);
            break;
        case InstructionKind::SinceLastReceive:
            stack[depth++] = activityTime(context, true);
            break;
        case InstructionKind::SinceLastTransmit:
            stack[depth++] = activityTime(context, false);
            break;
        }
    }
    return depth == 0 ? -1 : stack[depth - 1];
}

// The reductions themselves, for a program without its flat form: every missing operand or
// token and every overflow is checked as it comes.
std::int64_t runReductions(const CompiledExpression& expression, const EvaluationContext& context,
                           std::span<const std::uint8_t>* copied) {
    std::array<std::int64_t, kValueStackCapacity> stack;  // only the used part is ever read
    std::size_t depth = 0;
    const auto pop = [&stack, &depth]() -> std::int64_t { return depth == 0 ? -1 : stack[--depth]; };

    for (const Reduction& reduction : expression.reductions()) {
        std::int64_t result = 0;
        const auto rule = static_cast<GrammarRuleId>(reduction.rule);
        switch (rule) {
        case GrammarRuleId::Number:
            result = tokenValue(reduction, 0);
            break;
        case GrammarRuleId::CrcCcitt1:
        case GrammarRuleId::Sum:
        case GrammarRuleId::Bcc:
        case GrammarRuleId::Bcc2: {
            const std::int64_t count = pop();
            const std::int64_t offset = pop();
            result = rangeFunction(rule, namedBytes(context, reduction, 2), offset, count);
            break;
        }
        case GrammarRuleId::CrcPreset: {
            const std::int64_t count = pop();
            const std::int64_t offset = pop();
            result = presetCrc(tokenValue(reduction, 0), namedBytes(context, reduction, 2), offset, count);
            break;
        }
        case GrammarRuleId::Crc: {
            GenericCrcOperands operands;
            for (auto slot = operands.rbegin(); slot != operands.rend(); ++slot) {
                *slot = pop();
            }
            result = genericCrc(namedBytes(context, reduction, 2), operands);
            break;
        }
        case GrammarRuleId::Copy: {
            const std::int64_t count = pop();
            const std::int64_t offset = pop();
            result = copyRange(namedBytes(context, reduction, 2), offset, count, copied);
            break;
        }
        case GrammarRuleId::ByteOrder:
            result = applyByteOrder(tokenValue(reduction, 0), pop());
            break;
        case GrammarRuleId::Length:
            result = reduction.tokens.size() > 2
                         ? lengthOf(context, ProgramName{reduction.tokens[2].name, 0}, namedBytes(context, reduction, 2))
                         : -1;
            break;
        case GrammarRuleId::Binary:
        case GrammarRuleId::Additive: {
            const std::int64_t right = pop();
            const std::int64_t left = pop();
            result = applyOperator(tokenValue(reduction, 1), left, right);
            break;
        }
        case GrammarRuleId::Unary:
        case GrammarRuleId::Complement:
            result = applyOperator(tokenValue(reduction, 0), 0, pop());
            break;
        case GrammarRuleId::Index:
            result = indexedByte(namedBytes(context, reduction, 0), pop());
            break;
        case GrammarRuleId::Time:
            result = timeValue(context, tokenValue(reduction, 0));
            break;
        case GrammarRuleId::SinceLastRx:
            result = activityTime(context, true);
            break;
        case GrammarRuleId::SinceLastTx:
            result = activityTime(context, false);
            break;
        default:
            // Grouping leaves no value; unknown rules are skipped.
            continue;
        }
        if (depth == stack.size()) {
            return -1;
        }
        stack[depth++] = result;
    }
    return depth == 0 ? -1 : stack[depth - 1];
}

}  // namespace

std::int64_t evaluateExpression(const CompiledExpression& expression, const EvaluationContext& context) {
    if (!expression.flat()) {
        return runReductions(expression, context, nullptr);
    }
    // A lone number, as most jump conditions are, is its value: no run to set up.
    const std::vector<Instruction>& instructions = expression.instructions();
    if (instructions.size() == 1 && instructions.front().kind == InstructionKind::Push) {
        return instructions.front().value;
    }
    return runInstructions(expression, context, nullptr);
}

std::span<const std::uint8_t> evaluateCopy(const CompiledExpression& expression, const EvaluationContext& context) {
    std::span<const std::uint8_t> copied;
    (void)(expression.flat() ? runInstructions(expression, context, &copied)
                             : runReductions(expression, context, &copied));
    return copied;
}

}  // namespace orvalix
