#include "core/service/edge_bits.hpp"

#include "core/expression/evaluate_expression.hpp"
#include "core/service/cell_text.hpp"
#include "core/traffic/extra_block.hpp"

namespace orvalix {
namespace {

// Stores the value as the previous one and tells whether it rose.
bool rose(std::int64_t value, std::int64_t& previous) {
    const bool rising = value != 0 && previous == 0;
    previous = value;
    return rising;
}

}  // namespace

void computeEdgeBits(std::span<const NamedCondition> conditions, EdgeValues& edges,
                     const EvaluationContext& context, std::span<std::uint8_t> extra) {
    const std::size_t count = conditions.size();
    if (edges.markValues.size() < count || edges.triggerValues.size() < count) {
        edges.markValues.resize(count);  // sized at start-up; only a caller that did not lands here
        edges.triggerValues.resize(count);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const NamedCondition& condition = conditions[i];
        const std::int64_t mark = conditionMarkText(condition).empty()
                                      ? evaluateExpression(condition.condition, context)
                                      : evaluateExpression(condition.markCondition, context);
        if (rose(mark, edges.markValues[i])) {
            setMarkBit(extra, count, i);
        }
        const std::int64_t trigger = conditionTriggerText(condition).empty()
                                         ? mark
                                         : evaluateExpression(condition.triggerCondition, context);
        if (rose(trigger, edges.triggerValues[i])) {
            setTriggerBit(extra, count, i);
        }
    }
}

void countEdgeRises(std::span<const std::uint8_t> extra, std::span<ConditionCoverage> conditions) {
    const std::size_t count = conditions.size();
    for (std::size_t i = 0; i < count; ++i) {
        conditions[i].markRises += markBit(extra, count, i) ? 1 : 0;
        conditions[i].triggerRises += triggerBit(extra, count, i) ? 1 : 0;
    }
}

}  // namespace orvalix
