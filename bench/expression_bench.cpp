#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string_view>
#include <vector>

#include "core/expression/compile_expression.hpp"
#include "core/expression/evaluate_expression.hpp"

// Every heap allocation in this executable is counted, so that a benchmark can show that
// evaluation allocates nothing.
namespace {
std::atomic<std::uint64_t> allocationCount{0};
}  // namespace

void* operator new(std::size_t size) {
    allocationCount.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    allocationCount.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return ::operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace orvalix {
namespace {

CompiledExpression compileOrDie(std::string_view text) {
    CompiledExpression compiled;
    if (compileExpression(text, compiled) != 0) {
        std::abort();
    }
    return compiled;
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
    const std::uint64_t before = allocationCount.load(std::memory_order_relaxed);
    for (auto _ : state) {
        benchmark::DoNotOptimize(evaluateExpression(program, context));
    }
    const std::uint64_t allocations = allocationCount.load(std::memory_order_relaxed) - before;
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

void BM_EvaluateCrc(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    const std::vector<std::uint8_t> frame = frameBytes(count);
    EvaluationContext context;
    setNamedBytes(context.names, u"Rx", frame.data(), static_cast<std::uint32_t>(frame.size()));
    const CompiledExpression program = compileOrDie("CRC_CCITT1(Rx, 0, " + std::to_string(count) + ")");
    runEvaluation(state, program, context);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(count));
}
BENCHMARK(BM_EvaluateCrc)->Arg(64)->Arg(1024);

void BM_CompileTypicalCondition(benchmark::State& state) {
    constexpr std::string_view text = "(Rx[0] == 0x02) & (Rx[1] == 0x31) & (SUM(Rx, 0, Rx[2] + 3) == Rx[Rx[2] + 3])";
    for (auto _ : state) {
        CompiledExpression compiled;
        benchmark::DoNotOptimize(compileExpression(text, compiled));
        benchmark::DoNotOptimize(compiled);
    }
}
BENCHMARK(BM_CompileTypicalCondition);

}  // namespace
}  // namespace orvalix
