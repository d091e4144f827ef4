#include "core/expression/evaluate_expression.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>

#include "core/expression/checksums.hpp"

namespace orvalix {
namespace {

// Deeper than any text of the longest readable length can nest; a deeper hand-made program
// yields -1 as a whole.
constexpr std::size_t kValueStackCapacity = 1024;

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

const std::u16string* tokenName(const Reduction& reduction, std::size_t index) {
    return index < reduction.tokens.size() ? &reduction.tokens[index].name : nullptr;
}

// The named bytes, or nothing when the name is missing or unknown.
std::optional<std::span<const std::uint8_t>> namedBytes(const EvaluationContext& context, const Reduction& reduction,
                                                        std::size_t index) {
    const std::u16string* name = tokenName(reduction, index);
    if (name == nullptr) {
        return std::nullopt;
    }
    const auto found = context.names.find(*name);
    if (found == context.names.end()) {
        return std::nullopt;
    }
    const NamedBytes& entry = found->second;
    if (entry.data == nullptr) {
        return std::span<const std::uint8_t>{};
    }
    return std::span<const std::uint8_t>(entry.data, entry.length);
}

std::int64_t indexedByte(const EvaluationContext& context, const Reduction& reduction, std::int64_t index) {
    const auto bytes = namedBytes(context, reduction, 0);
    if (!bytes || index < 0 || bits(index) >= bytes->size()) {
        return -1;
    }
    return (*bytes)[static_cast<std::size_t>(index)];
}

std::int64_t rangeFunction(GrammarRuleId rule, const EvaluationContext& context, const Reduction& reduction,
                           std::int64_t offset, std::int64_t count) {
    const auto bytes = namedBytes(context, reduction, 2);
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

std::int64_t activityTime(const EvaluationContext& context, bool receive) {
    const auto found = context.activity.find(0);
    if (found == context.activity.end()) {
        return -1;
    }
    return toMilliseconds(receive ? found->second.sinceLastReceive : found->second.sinceLastTransmit);
}

}  // namespace

std::int64_t evaluateExpression(const CompiledExpression& expression, const EvaluationContext& context) {
    std::array<std::int64_t, kValueStackCapacity> stack;  // only the used part is ever read
    std::size_t depth = 0;
    const auto pop = [&stack, &depth]() -> std::int64_t { return depth == 0 ? -1 : stack[--depth]; };

    for (const Reduction& reduction : expression.reductions) {
        std::int64_t result = 0;
        switch (static_cast<GrammarRuleId>(reduction.rule)) {
        case GrammarRuleId::Number:
            result = tokenValue(reduction, 0);
            break;
        case GrammarRuleId::CrcCcitt1:
        case GrammarRuleId::Sum:
        case GrammarRuleId::Bcc:
        case GrammarRuleId::Bcc2: {
            const std::int64_t count = pop();
            const std::int64_t offset = pop();
            result = rangeFunction(static_cast<GrammarRuleId>(reduction.rule), context, reduction, offset, count);
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
            result = indexedByte(context, reduction, pop());
            break;
        case GrammarRuleId::Time: {
            const std::int64_t code = tokenValue(reduction, 0);
            result = code >= 0 && bits(code) < context.times.values.size()
                         ? toMilliseconds(context.times.values[static_cast<std::size_t>(code)])
                         : -1;
            break;
        }
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

}  // namespace orvalix
