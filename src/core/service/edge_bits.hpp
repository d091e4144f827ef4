#pragma once

#include <cstdint>
#include <span>

#include "core/expression/evaluation_context.hpp"
#include "core/project/project.hpp"
#include "core/service/service_runtime.hpp"

namespace orvalix {

// Evaluates each named condition's mark and trigger value and sets its bit in the extra block
// when the value rose (non-zero now, 0 or never evaluated before). The previous values are
// shared by received and sent records, so a value that stays non-zero marks one record only.
void computeEdgeBits(std::span<const NamedCondition> conditions, EdgeValues& edges,
                     const EvaluationContext& context, std::span<std::uint8_t> extra);

// Adds the rises a record's extra block tells to each named condition's counts.
void countEdgeRises(std::span<const std::uint8_t> extra, std::span<ConditionCoverage> conditions);

}  // namespace orvalix
