#pragma once

#include <cstdint>
#include <limits>

#include "core/expression/token.hpp"

namespace orvalix {

namespace detail {

// All arithmetic wraps in two's complement; done unsigned so that no case is undefined.
constexpr std::uint64_t bits(std::int64_t v) { return static_cast<std::uint64_t>(v); }
constexpr std::int64_t signedOf(std::uint64_t v) { return static_cast<std::int64_t>(v); }

}  // namespace detail

// What division or remainder by zero gives.
inline constexpr std::int64_t kOperatorMax = std::numeric_limits<std::int64_t>::max();

// A binary operator, or a unary one applied as (0, operand); an unknown code gives 0. The
// evaluator runs it, and compiling uses it to fold constants.

constexpr std::int64_t applyOperator(std::int64_t code, std::int64_t left, std::int64_t right) {
    using detail::bits;
    using detail::signedOf;
    switch (static_cast<OperatorCode>(code)) {
    case OperatorCode::Add:
        return signedOf(bits(left) + bits(right));
    case OperatorCode::Subtract:
        return signedOf(bits(left) - bits(right));
    case OperatorCode::Multiply:
        return signedOf(bits(left) * bits(right));
    case OperatorCode::Divide:
        if (right == 0) {
            return kOperatorMax;
        }
        return right == -1 ? signedOf(0 - bits(left)) : left / right;
    case OperatorCode::Remainder:
        if (right == 0) {
            return kOperatorMax;
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

}  // namespace orvalix
