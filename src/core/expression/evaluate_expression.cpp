#include "core/expression/evaluate_expression.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>

#include "core/expression/checksums.hpp"
#include "core/expression/name_hash.hpp"

namespace orvalix {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

// All arithmetic wraps in two's complement; done unsigned so that no case is undefined.
constexpr std::uint64_t bits(std::int64_t v) { return static_cast<std::uint64_t>(v); }
constexpr std::int64_t signedOf(std::uint64_t v) { return static_cast<std::int64_t>(v); }

constexpr std::int64_t applyOperator(std::int64_t code, std::int64_t left, std::int64_t right) {
    switch (static_cast<OperatorCode>(code)) {
    case OperatorCode::Add:
        return signedOf(bits(left) + bits(right));
    case OperatorCode::Subtract:
        return signedOf(bits(left) - bits(right));
    case OperatorCode::Multiply:
        return signedOf(bits(left) * bits(right));
    case OperatorCode::Divide:
        if (right == 0) {
            return kMax;
        }
        return right == -1 ? signedOf(0 - bits(left)) : left / right;
    case OperatorCode::Remainder:
        if (right == 0) {
            return kMax;
        }
        return right == -1 ? 0 : left % right;
    case OperatorCode::Greater:
        return left > right ? 1 : 0;
    case OperatorCode::Less:
        return left < right ? 1 : 0;
    case OperatorCode::GreaterEqual:
        return left >= right ? 1 : 0;
    case OperatorCode::LessEqual:
        return left <= right ? 1 : 0;
    case OperatorCode::BitAnd:
        return left & right;
    case OperatorCode::BitOr:
        return left | right;
    case OperatorCode::Complement:
        return ~right;
    case OperatorCode::BitXor:
        return left ^ right;
    case OperatorCode::ShiftLeft: {
        // Only the low byte of the count matters: 1 << 256 is 1, 1 << -1 is 0.
        const std::uint64_t n = bits(right) & 0xFFU;
        return n >= 64 ? 0 : signedOf(bits(left) << n);
    }
    case OperatorCode::ShiftRight: {
        const std::uint64_t n = bits(right) & 0xFFU;
        if (n >= 64) {
            return left < 0 ? -1 : 0;
        }
        return left >> n;
    }
    case OperatorCode::Equal:
        return left == right ? 1 : 0;
    case OperatorCode::NotEqual:
        return left != right ? 1 : 0;
    }
    return 0;
}

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
std::int64_t runInstructions(const CompiledExpression& expression, const EvaluationContext& context) {
    std::array<std::int64_t, kValueStackCapacity> stack;  // only the used part is ever read
    std::size_t depth = 0;
    // Every instruction runs, so every name is read: looking each up in advance finds the same.
    std::array<const NamedBytes*, kNamesLookedUpFirst> firstNames;
    const std::size_t lookedUp = std::min(expression.names.size(), kNamesLookedUpFirst);
    for (std::size_t i = 0; i < lookedUp; ++i) {
        firstNames[i] = context.names.lookup(expression.names[i].text, expression.names[i].hash);
    }
    const auto bytesNamedBy = [&](const Instruction& instruction) {
        const auto place = static_cast<std::size_t>(instruction.code);
        if (place < kNamesLookedUpFirst) {
            return bytesOf(firstNames[place]);
        }
        const ProgramName& name = expression.names[place];
        return bytesOf(context.names.lookup(name.text, name.hash));
    };
    for (const Instruction& instruction : expression.instructions) {
        switch (instruction.kind) {
        case InstructionKind::Push:
            stack[depth++] = instruction.value;
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
std::int64_t runReductions(const CompiledExpression& expression, const EvaluationContext& context) {
    std::array<std::int64_t, kValueStackCapacity> stack;  // only the used part is ever read
    std::size_t depth = 0;
    const auto pop = [&stack, &depth]() -> std::int64_t { return depth == 0 ? -1 : stack[--depth]; };

    for (const Reduction& reduction : expression.reductions) {
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
    return expression.flat() ? runInstructions(expression, context) : runReductions(expression, context);
}

}  // namespace orvalix
