#pragma once

#include <cstdint>
#include <span>

#include "core/expression/compiled_expression.hpp"
#include "core/expression/evaluation_context.hpp"

namespace orvalix {

// Runs the program; never fails outward and allocates nothing. An empty program yields -1,
// an operand missing from the value stack reads as -1, and a program nesting deeper than
// the fixed value stack yields -1 as a whole.
std::int64_t evaluateExpression(const CompiledExpression& expression, const EvaluationContext& context);

// Runs a frame row whose outermost operation is COPY and gives the bytes it copies, which
// stay where they are; none when its range does not lie within its buffer.
std::span<const std::uint8_t> evaluateCopy(const CompiledExpression& expression, const EvaluationContext& context);

}  // namespace orvalix
