#include "core/service/sequence.hpp"

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "core/diagnostics/trace_messages.hpp"
#include "core/expression/evaluate_expression.hpp"
#include "core/service/cell_text.hpp"
#include "core/service/receive.hpp"
#include "core/service/transmit.hpp"

namespace orvalix {

namespace messages = trace_messages;

JumpTargets resolveJumpTargets(std::span<const SequenceStep> sequence) {
    // Labels sorted, steps of one label in step order: a search per step rather than a scan,
    // and two allocations for the whole sequence, however many steps it has.
    struct Labelled {
        std::u16string_view label;
        std::int32_t step;
    };
    std::vector<Labelled> labels;
    labels.reserve(sequence.size());
    for (std::size_t j = 0; j < sequence.size(); ++j) {
        labels.push_back({stepLabel(sequence[j]), static_cast<std::int32_t>(j)});
    }
    std::ranges::stable_sort(labels, {}, &Labelled::label);
    JumpTargets targets(sequence.size(), kNoJumpTarget);
    for (std::size_t j = 0; j < sequence.size(); ++j) {
        const std::u16string_view target = stepJumpTarget(sequence[j]);
        if (target.empty()) {
            continue;
        }
        // The last entry of the target's run is the last step carrying it.
        const auto after = std::ranges::upper_bound(labels, target, {}, &Labelled::label);
        if (after != labels.begin() && std::prev(after)->label == target) {
            targets[j] = std::prev(after)->step;
        }
    }
    return targets;
}

std::int32_t runSequence(ServiceRuntime& runtime, EnvironmentRuntime& environment, bool reportOnTurn) {
    const std::vector<SequenceStep>& steps = environment.environment->sequence;
    const auto n = static_cast<std::int32_t>(steps.size());
    // A sequence that ran off its end repeats its last step.
    std::int32_t index = std::max(environment.stepIndex < n ? environment.stepIndex : n - 1, 0);
    // One clock reading per turn: a turn's checkpoints lie microseconds apart, so the rest take
    // the stamp of the entry before them (a fixed-text checkpoint such as "Sent." reads its own).
    auto stamp = ExecutionTrace::Stamp::Now;
    if (!reportOnTurn) {
        runtime.trace.record(messages::kStartIndex, index);
        stamp = ExecutionTrace::Stamp::Latest;
    }
    while (index < n) {
        const SequenceStep& step = steps[static_cast<std::size_t>(index)];
        const std::int64_t tx = evaluateExpression(step.txCondition, runtime.context);
        runtime.trace.record(messages::kTxConditionEvaluated, tx, stamp);
        stamp = ExecutionTrace::Stamp::Latest;

        const bool frameEnds = reportOnTurn && (tx != 0 || environment.characterTimedOut);
        if (frameEnds && environment.receiveBuffer.length > 0) {
            reportReceivedFrame(runtime, environment);
        }
        const bool sent = transmitStep(runtime, environment, step, tx);

        const std::int64_t jump = stepJumpConditionText(step).empty()
                                      ? tx
                                      : evaluateExpression(step.jumpCondition, runtime.context);
        runtime.trace.record(messages::kJumpConditionEvaluated, jump, stamp);
        if (tx != 0 || jump != 0) {
            const auto position = static_cast<std::size_t>(index);
            StepCoverage& counts = environment.coverage.steps[position];
            counts.held += tx != 0 ? 1 : 0;
            counts.sent += sent ? 1 : 0;
            counts.jumped += jump != 0 ? 1 : 0;
            const bool first = environment.firstChangedStep == environment.endChangedStep;
            environment.firstChangedStep = first ? position : std::min(environment.firstChangedStep, position);
            environment.endChangedStep = first ? position + 1 : std::max(environment.endChangedStep, position + 1);
            environment.coverageChanged = true;
        }
        if (jump == 0) {
            ++index;
        } else if (const std::int32_t target = environment.jumpTargets[static_cast<std::size_t>(index)];
                   target != kNoJumpTarget) {
            index = target;
        }
        if (tx != 0 || frameEnds) {
            environment.receiveBuffer.length = 0;
        }
        if (jump != 0) {
            break;
        }
    }
    return index;
}

void environmentPass(ServiceRuntime& runtime, EnvironmentRuntime& environment) {
    sendDueFrames(runtime, environment);
    if (!environment.stream()) {
        // The receive phase read the first frame; those that wait behind it follow in order.
        for (int frames = 1;; ++frames) {
            startFrameReceive(environment);
            ignoreByFault(runtime, environment);
            prepareEnvironmentReceive(runtime, environment);
            environment.stepIndex = runSequence(runtime, environment, false);
            if (environment.received.length == 0 || frames == kMaxFramesPerCycle ||
                !readPort(runtime, environment)) {
                return;
            }
        }
    }
    ignoreByFault(runtime, environment);
    startStreamReceive(runtime, environment);
    const std::uint32_t count = environment.received.length;
    const std::uint32_t passes = std::max<std::uint32_t>(count, 1);
    for (std::uint32_t i = 0; i < passes; ++i) {
        if (i < count) {
            appendReceivedByte(environment.receiveBuffer, environment.received.data[i]);
        }
        prepareEnvironmentReceive(runtime, environment);
        environment.stepIndex = runSequence(runtime, environment, true);
    }
}

}  // namespace orvalix
