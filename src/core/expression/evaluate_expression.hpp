#pragma once

#include <cstdint>

#include "core/expression/compiled_expression.hpp"
#include "core/expression/evaluation_context.hpp"

namespace orvalix {

// Runs the program; never fails outward. An empty program, or one whose value stack runs
// dry, yields -1. Allocates nothing.
std::int64_t evaluateExpression(const CompiledExpression& expression, const EvaluationContext& context);

}  // namespace orvalix
