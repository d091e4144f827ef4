#pragma once

#include <cstdint>

#include "core/expression/compiled_expression.hpp"
#include "core/expression/evaluation_context.hpp"

namespace orvalix {

// Runs the program; never fails outward and allocates nothing. An empty program yields -1,
// an operand missing from the value stack reads as -1, and a program nesting deeper than
// the fixed value stack yields -1 as a whole.
std::int64_t evaluateExpression(const CompiledExpression& expression, const EvaluationContext& context);

}  // namespace orvalix
