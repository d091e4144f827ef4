#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

#include "allocation_counter.hpp"
#include "core/expression/compile_expression.hpp"
#include "core/expression/evaluate_expression.hpp"

namespace orvalix {
namespace {

CompiledExpression compileOrDie(std::string_view text) {
    Compilation<CompiledExpression> compilation = compileExpression(text);
    if (!compilation.program) {
        std::abort();
    }
    return std::move(*compilation.program);
}

std::vector<std::uint8_t> frameBytes(std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 31 + 7);
    }
    return bytes;
}

// Runs one evaluation per iteration and reports allocations per evaluation.
void runEvaluation(benchmark::State& state, const CompiledExpression& program, const EvaluationContext& context) {
    const std::uint64_t before = bench::allocationCount();
    for (auto _ : state) {
        benchmark::DoNotOptimize(evaluateExpression(program, context));
    }
    const std::uint64_t allocations = bench::allocationCount() - before;
    state.counters["allocs_per_eval"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}

void BM_EvaluateArithmeticCondition(benchmark::State& state) {
    EvaluationContext context;
    context.times.values = {1234567890, 100000, 1234467890};
    const CompiledExpression program = compileOrDie("((SinceStart / 1000) % 7 + 3 * -2 << 2) >= 0x10 & (SinceLast != 0)");
    runEvaluation(state, program, context);
}
BENCHMARK(BM_EvaluateArithmeticCondition);

void BM_EvaluateByteAccessChain(benchmark::State& state) {
    const std::vector<std::uint8_t> frame = frameBytes(64);
    EvaluationContext context;
    setNamedBytes(context.names, u"ReceivedFrame", frame.data(), static_cast<std::uint32_t>(frame.size()));
    setNamedBytes(context.names, u"TransmitFrame", frame.data(), static_cast<std::uint32_t>(frame.size()));
    const CompiledExpression program = compileOrDie(
        "(ReceivedFrame[0] == 0x07) & (ReceivedFrame[1] == TransmitFrame[1]) & "
        "((ReceivedFrame[2] << 8 | ReceivedFrame[3]) > 100) & (ReceivedFrame[ReceivedFrame[4] & 0x1F] != 0)");
    runEvaluation(state, program, context);
}
BENCHMARK(BM_EvaluateByteAccessChain);

void BM_CompileTypicalCondition(benchmark::State& state) {
    constexpr std::string_view text = "(Rx[0] == 0x02) & (Rx[1] == 0x31) & (SUM(Rx, 0, Rx[2] + 3) == Rx[Rx[2] + 3])";
    for (auto _ : state) {
        Compilation<CompiledExpression> compilation = compileExpression(text);
        benchmark::DoNotOptimize(compilation);
    }
}
BENCHMARK(BM_CompileTypicalCondition);

}  // namespace
}  // namespace orvalix
