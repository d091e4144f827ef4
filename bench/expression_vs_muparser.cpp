// The evaluator against two references on the same work, in one run:
//   orvalix/<expression>   evaluateExpression on a compiled program
//   muparser/<expression>  mu::Parser's bytecode for the equivalent text, compiled once
//   orvalix_crc/<bytes>    CRC_CCITT1 over a named buffer, through evaluateExpression
//   table_crc/<bytes>      a plain table-driven loop over the same bytes: the limit
//   crc/<function>/<bytes> each CRC preset and the generic CRC over the same bytes, through
//                          evaluateExpression; their baseline is orvalix_crc/<bytes>
// After the run tables give each pair's CPU time ratio (Orvalix / reference), and each CRC
// function's speed per byte against CRC_CCITT1's from the same run.
//
//   orvalix_bench_expression_vs_muparser [--benchmark_filter=...] [--benchmark_repetitions=N]
//
// Orvalix applies operators left to right with no precedence, so the texts are parenthesised
// to mean the same to both; muparser computes in double, and the values are chosen so that
// both give the same result, which is checked before timing. Counter allocs_per_eval counts
// heap allocations per call.

#include <benchmark/benchmark.h>
#include <muParser.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "allocation_counter.hpp"
#include "core/expression/compile_expression.hpp"
#include "core/expression/crc.hpp"
#include "core/expression/evaluate_expression.hpp"

namespace orvalix {
namespace {

// Times in 100 ns units as a cycle sees them; expressions read them in whole milliseconds, and
// muparser is given those. The divisions in the texts come out even.
constexpr std::int64_t kSinceStart = 1'234'000'000;      // 123400 ms
constexpr std::int64_t kSinceLast = 100'000;             // 10 ms
constexpr std::int64_t kLastSinceStart = 1'233'900'000;  // 123390 ms
constexpr std::int64_t kSinceLastTx = 7'000'000;         // 700 ms
constexpr std::int64_t kPerMillisecond = 10'000;

struct ExpressionPair {
    const char* name;
    std::string_view orvalix;
    const char* muparser;  // null: the same text
};

// Orvalix has no logical operators: conditions join 0/1 comparisons with "&". Every one holds.
constexpr std::array kExpressions{
    ExpressionPair{"single_comparison", "SinceLast >= 10", nullptr},
    ExpressionPair{"idle_timer", "SinceLastTx >= 500", nullptr},
    ExpressionPair{"sum_of_products", "((SinceStart * 3) + (SinceLast * 5)) - (LastSinceStart * 2) + 7",
                   nullptr},
    ExpressionPair{"nested_arithmetic",
                   "((LastSinceStart / 10) - ((SinceStart / 100 + SinceLast) * (SinceLast - 8))) > 500",
                   nullptr},
    ExpressionPair{"condition_chain", "(SinceStart > 1000) & (SinceLast < 20) & (LastSinceStart != 0)",
                   "(SinceStart > 1000) && (SinceLast < 20) && (LastSinceStart != 0)"},
    ExpressionPair{"long_condition_chain",
                   "(SinceStart > 1000) & (SinceLast < 20) & (LastSinceStart != 0) & "
                   "(SinceStart - LastSinceStart == SinceLast) & (SinceLast * 2 <= 30) & "
                   "(SinceStart + 1 > LastSinceStart) & (SinceLastTx >= 500) & (SinceLastTx < 900)",
                   "(SinceStart > 1000) && (SinceLast < 20) && (LastSinceStart != 0) && "
                   "(SinceStart - LastSinceStart == SinceLast) && (SinceLast * 2 <= 30) && "
                   "(SinceStart + 1 > LastSinceStart) && (SinceLastTx >= 500) && (SinceLastTx < 900)"},
};

EvaluationContext timesContext() {
    EvaluationContext context;
    context.times.values = {kSinceStart, kSinceLast, kLastSinceStart};
    context.activity[0] = PortActivity{0, kSinceLastTx};
    return context;
}

// Reports heap allocations per iteration of the timed loop.
template <typename Evaluate>
void timeEvaluations(benchmark::State& state, Evaluate&& evaluate) {
    const std::uint64_t before = bench::allocationCount();
    for (auto _ : state) {
        benchmark::DoNotOptimize(evaluate());
    }
    const std::uint64_t allocations = bench::allocationCount() - before;
    state.counters["allocs_per_eval"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}

void orvalixEvaluation(benchmark::State& state, const ExpressionPair& pair) {
    const EvaluationContext context = timesContext();
    const std::optional<CompiledExpression> program = compileExpression(pair.orvalix).program;
    if (!program) {
        state.SkipWithError("the Orvalix text does not compile");
        return;
    }
    timeEvaluations(state, [&] { return evaluateExpression(*program, context); });
}

void muparserEvaluation(benchmark::State& state, const ExpressionPair& pair) {
    double sinceStart = static_cast<double>(kSinceStart / kPerMillisecond);
    double sinceLast = static_cast<double>(kSinceLast / kPerMillisecond);
    double lastSinceStart = static_cast<double>(kLastSinceStart / kPerMillisecond);
    double sinceLastTx = static_cast<double>(kSinceLastTx / kPerMillisecond);
    mu::Parser parser;
    double value = 0.0;
    try {
        parser.DefineVar("SinceStart", &sinceStart);
        parser.DefineVar("SinceLast", &sinceLast);
        parser.DefineVar("LastSinceStart", &lastSinceStart);
        parser.DefineVar("SinceLastTx", &sinceLastTx);
        parser.SetExpr(pair.muparser != nullptr ? pair.muparser : std::string(pair.orvalix));
        value = parser.Eval();  // the first call parses and builds the bytecode
    } catch (const mu::Parser::exception_type& error) {
        state.SkipWithError(error.GetMsg().c_str());
        return;
    }
    const CompiledExpression program = compileExpression(pair.orvalix).program.value_or(CompiledExpression{});
    if (const std::int64_t expected = evaluateExpression(program, timesContext());
        static_cast<std::int64_t>(value) != expected) {
        const std::string text =
            "muparser gives " + std::to_string(value) + ", Orvalix " + std::to_string(expected);
        state.SkipWithError(text.c_str());
        return;
    }
    timeEvaluations(state, [&parser] { return parser.Eval(); });
}

constexpr std::array<std::size_t, 2> kCrcLengths{64, 1024};

std::vector<std::uint8_t> frameBytes(std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 31 + 7);
    }
    return bytes;
}

// CRC-16/X-25 as the obvious byte-at-a-time table loop.
constexpr std::array<std::uint16_t, 256> kCrcTable = [] {
    std::array<std::uint16_t, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        unsigned r = byte;
        for (int bit = 0; bit < 8; ++bit) {
            r = (r & 1U) != 0 ? (r >> 1U) ^ 0x8408U : r >> 1U;
        }
        table[byte] = static_cast<std::uint16_t>(r);
    }
    return table;
}();

std::int64_t tableCrc(const std::vector<std::uint8_t>& bytes) {
    unsigned r = 0xFFFF;
    for (const std::uint8_t b : bytes) {
        r = (r >> 8U) ^ kCrcTable[(r ^ b) & 0xFFU];
    }
    return static_cast<std::int64_t>(~r & 0xFFFFU);
}

void reportBytes(benchmark::State& state, std::size_t count) {
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(count));
    state.SetLabel(std::to_string(count) + " bytes");
}

void orvalixCrc(benchmark::State& state, std::size_t count) {
    const std::vector<std::uint8_t> frame = frameBytes(count);
    EvaluationContext context;
    setNamedBytes(context.names, u"Rx", frame.data(), static_cast<std::uint32_t>(frame.size()));
    const CompiledExpression program = compileExpression("CRC_CCITT1(Rx, 0, " + std::to_string(count) + ")")
                                           .program.value_or(CompiledExpression{});
    if (evaluateExpression(program, context) != tableCrc(frame)) {
        state.SkipWithError("CRC_CCITT1 and the table loop disagree");
        return;
    }
    timeEvaluations(state, [&] { return evaluateExpression(program, context); });
    reportBytes(state, count);
}

void referenceCrc(benchmark::State& state, std::size_t count) {
    std::vector<std::uint8_t> frame = frameBytes(count);
    for (auto _ : state) {
        benchmark::DoNotOptimize(frame.data());  // the bytes may have changed: no hoisting
        benchmark::DoNotOptimize(tableCrc(frame));
    }
    reportBytes(state, count);
}

// A CRC function of the language as a benchmark calls it: "<call>(Rx, 0, <bytes><rest>", checked
// against the bit-by-bit model before it is timed.
struct CrcFunction {
    const char* label;
    const char* call;
    const char* rest;
    CrcParameters model;
    const char* goal;  // per byte against CRC_CCITT1; "-" where none is set
};

// The generic form takes CRC_CCITT1's own model, so that it differs from it in the path alone:
// constant parameters make a table when compiled, a width known only when it runs goes bit by bit.
constexpr CrcParameters kX25{16, 0x1021, 0xFFFF, true, true, 0xFFFF};
constexpr std::array kCrcFunctions{
    CrcFunction{"CRC8", "CRC8", ")", kCrc8Smbus, "1.2"},
    CrcFunction{"CRC16_ARC", "CRC16_ARC", ")", kCrc16Arc, "1.2"},
    CrcFunction{"CRC16_MODBUS", "CRC16_MODBUS", ")", kCrc16Modbus, "1.2"},
    CrcFunction{"CRC16_XMODEM", "CRC16_XMODEM", ")", kCrc16Xmodem, "1.2"},
    CrcFunction{"CRC16_IBM3740", "CRC16_IBM3740", ")", kCrc16Ibm3740, "1.2"},
    CrcFunction{"CRC16_KERMIT", "CRC16_KERMIT", ")", kCrc16Kermit, "1.2"},
    CrcFunction{"CRC16_DNP", "CRC16_DNP", ")", kCrc16Dnp, "1.2"},
    CrcFunction{"CRC32", "CRC32", ")", kCrc32IsoHdlc, "1.2"},
    CrcFunction{"CRC32C", "CRC32C", ")", kCrc32Iscsi, "1.2"},
    CrcFunction{"CRC_constants", "CRC", ", 16, 0x1021, 0xFFFF, 1, 1, 0xFFFF)", kX25, "2"},
    CrcFunction{"CRC_width_at_run", "CRC", ", Rx[0] * 0 + 16, 0x1021, 0xFFFF, 1, 1, 0xFFFF)", kX25, "-"},
};

std::string crcFunctionName(const CrcFunction& function, std::size_t count) {
    return std::string("crc/") + function.label + "/" + std::to_string(count);
}

void functionCrc(benchmark::State& state, const CrcFunction& function, std::size_t count) {
    const std::vector<std::uint8_t> frame = frameBytes(count);
    EvaluationContext context;
    setNamedBytes(context.names, u"Rx", frame.data(), static_cast<std::uint32_t>(frame.size()));
    const std::string text = std::string(function.call) + "(Rx, 0, " + std::to_string(count) + function.rest;
    const std::optional<CompiledExpression> compiled = compileExpression(text).program;
    if (!compiled) {
        state.SkipWithError("the CRC text does not compile");
        return;
    }
    const CompiledExpression& program = *compiled;
    if (evaluateExpression(program, context) != static_cast<std::int64_t>(crc(function.model, frame))) {
        state.SkipWithError("the CRC function and its bit-by-bit model disagree");
        return;
    }
    timeEvaluations(state, [&] { return evaluateExpression(program, context); });
    reportBytes(state, count);
}

// Keeps the CPU time per iteration and the allocations of every run, then prints each Orvalix
// run beside its reference ("orvalix/x" with "muparser/x", "orvalix_crc/n" with "table_crc/n",
// "crc/f/n" with "orvalix_crc/n").
class RatioReporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                Totals& totals = times_[run.benchmark_name()];
                totals.time += run.GetAdjustedCPUTime();
                ++totals.runs;
                if (const auto counter = run.counters.find("allocs_per_eval");
                    counter != run.counters.end()) {
                    totals.allocations = std::max(totals.allocations, counter->second.value);
                }
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatios() const {
        std::printf("\n%-32s %12s %12s %8s\n", "Orvalix / reference (CPU time)", "orvalix ns", "reference ns",
                    "ratio");
        forEachPair("orvalix/", "muparser/", [](const std::string& name, double ours, double theirs) {
            std::printf("%-32s %12.2f %12.2f %8.2f\n", name.c_str(), ours, theirs, ours / theirs);
        });
        std::printf("\n%-32s %12s %12s %8s\n", "CRC_CCITT1 / table loop", "orvalix B/ns", "table B/ns",
                    "share");
        forEachPair("orvalix_crc/", "table_crc/", [](const std::string& name, double ours, double theirs) {
            const double bytes = std::stod(name.substr(name.find('/') + 1));
            std::printf("%-32s %12.3f %12.3f %7.0f%%\n", name.c_str(), bytes / ours, bytes / theirs,
                        theirs / ours * 100.0);
        });
        printCrcFunctions();
    }

private:
    struct Totals {
        double time = 0.0;  // summed over the runs
        int runs = 0;
        double allocations = 0.0;  // per evaluation, the most of any run
    };

    // Each function at each length beside CRC_CCITT1 at the same length: the ratio is time per
    // byte, the function's over CRC_CCITT1's.
    void printCrcFunctions() const {
        std::printf("\n%-28s %6s %8s %12s %8s %5s %12s\n", "CRC function / CRC_CCITT1", "bytes", "B/ns",
                    "CCITT1 B/ns", "ratio", "goal", "allocs/eval");
        for (const std::size_t count : kCrcLengths) {
            const auto baseline = times_.find("orvalix_crc/" + std::to_string(count));
            if (baseline == times_.end()) {
                continue;
            }
            const double theirs = baseline->second.time / baseline->second.runs;
            for (const CrcFunction& function : kCrcFunctions) {
                const auto run = times_.find(crcFunctionName(function, count));
                if (run == times_.end()) {
                    continue;
                }
                const double ours = run->second.time / run->second.runs;
                const auto bytes = static_cast<double>(count);
                std::printf("%-28s %6zu %8.3f %12.3f %8.2f %5s %12.0f\n", function.label, count, bytes / ours,
                            bytes / theirs, ours / theirs, function.goal, run->second.allocations);
            }
        }
    }

    // Calls report(name, our time, the reference's time) for every run that has its pair.
    template <typename Report>
    void forEachPair(const std::string& mine, const std::string& reference, Report report) const {
        for (const auto& [name, totals] : times_) {
            if (name.rfind(mine, 0) != 0) {
                continue;
            }
            const auto other = times_.find(reference + name.substr(mine.size()));
            if (other != times_.end()) {
                report(name, totals.time / totals.runs, other->second.time / other->second.runs);
            }
        }
    }

    std::map<std::string, Totals> times_;
};

}  // namespace
}  // namespace orvalix

int main(int argc, char** argv) {
    using namespace orvalix;
    for (const ExpressionPair& pair : kExpressions) {
        benchmark::RegisterBenchmark((std::string("orvalix/") + pair.name).c_str(), orvalixEvaluation, pair);
        benchmark::RegisterBenchmark((std::string("muparser/") + pair.name).c_str(), muparserEvaluation,
                                     pair);
    }
    for (const std::size_t count : kCrcLengths) {
        const std::string bytes = std::to_string(count);
        benchmark::RegisterBenchmark(("orvalix_crc/" + bytes).c_str(), orvalixCrc, count);
        benchmark::RegisterBenchmark(("table_crc/" + bytes).c_str(), referenceCrc, count);
        for (const CrcFunction& function : kCrcFunctions) {
            benchmark::RegisterBenchmark(crcFunctionName(function, count).c_str(), functionCrc, function,
                                         count);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    // Plain columns: the output usually goes to a file.
    RatioReporter reporter(benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
