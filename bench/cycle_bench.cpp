// The work of one service cycle for a serial environment fed at line rate, as a share of the
// 10 ms period: bytes per cycle at 115,200, 921,600 and 3,000,000 bit/s (10 bits a byte) with
// 4, 16 or 64 named conditions and as many steps, all of which are evaluated for every byte.
// BM_SerialDispatchCycle is the work of serial_dispatch_cpu.py without the process around it:
// bytes that never complete a frame, 1 or 16 conditions and steps of that script.
//
//   orvalix_bench_cycle [--benchmark_filter=...]
// The counter period_share_% is the cycle's work as a percentage of 10 ms.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "core/expression/compile_expression.hpp"
#include "core/service/cycle.hpp"
#include "core/service/service_runtime.hpp"
#include "core/text/text_conversion.hpp"
#include "core/traffic/traffic_store.hpp"

namespace orvalix {
namespace {

constexpr std::uint64_t kCycle = 100'000;  // 10 ms in 100 ns units

CompiledExpression compiled(const std::string& text) {
    return compileExpression(text).program.value_or(CompiledExpression{});
}

// Delivers a fixed number of bytes of a repeating request pattern per read, as a serial driver
// would at line rate; writes complete at once.
class LineRatePort {
public:
    explicit LineRatePort(std::size_t bytesPerRead) : bytesPerRead_(bytesPerRead) {}

    PortKind kind() const { return PortKind::Serial; }
    std::size_t read(std::span<std::uint8_t> buffer, std::uint32_t&, SocketAddress&) {
        const std::size_t count = std::min(bytesPerRead_, buffer.size());
        for (std::size_t i = 0; i < count; ++i) {
            // Ten-byte frames: 02, a code that cycles, six data bytes, a checksum byte, 03.
            const std::size_t position = next_ % 10;
            buffer[i] = position == 0 ? 0x02 : position == 9 ? 0x03 : static_cast<std::uint8_t>(next_ / 10 % 64);
            ++next_;
        }
        return count;
    }
    void write(std::span<const std::uint8_t>, const SocketAddress&) { ++writes_; }
    bool writeFinished() { return true; }
    PortHealth health() const { return {}; }
    platform::WaitSource waitSource() const { return {}; }

private:
    std::size_t bytesPerRead_;
    std::size_t next_ = 0;
    std::size_t writes_ = 0;
};

// An environment on a 921,600 bit/s serial line, with no conditions or steps yet.
Environment onFastSerialLine(std::int32_t characterTimeoutMs, std::int32_t records) {
    Environment environment;
    SerialOptions line;
    line.bitRate = 921600;
    line.parity = SerialParity::None;
    line.characterTimeoutMs = characterTimeoutMs;
    environment.port = PortOptions{u"COM1", records, 64, 0, 0, line};
    return environment;
}

Environment serialEnvironment(int conditionsAndSteps) {
    Environment environment = onFastSerialLine(20, 1000);
    for (int i = 0; i < conditionsAndSteps; ++i) {
        const std::string n = std::to_string(i);
        NamedCondition condition;
        condition.cells = {toWide("N" + n), toWide("(R[0] == 0x02) & (R[1] == " + n + ")"), u"", u"0"};
        condition.condition = compiled("(R[0] == 0x02) & (R[1] == " + n + ")");
        condition.triggerCondition = compiled("0");
        environment.namedConditions.push_back(condition);

        // Steps fall through to the last, which jumps back to the top: every step runs per byte.
        // A step answers a complete frame of its code with a checksummed reply.
        const bool last = i == conditionsAndSteps - 1;
        SequenceStep step;
        const std::string tx = "(R[0] == 0x02) & (R[1] == " + n + ") & (R[9] == 0x03)";
        step.cells = {i == 0 ? u"Top" : u"", toWide(tx), u"Reply", last ? u"1" : u"0", last ? u"Top" : u""};
        step.txCondition = compiled(tx);
        step.jumpCondition = compiled(last ? "1" : "0");
        environment.sequence.push_back(step);
    }
    return environment;
}

// Gives the same byte, never a frame's start, a fixed number per read.
class UnframedPort {
public:
    explicit UnframedPort(std::size_t bytesPerRead) : bytesPerRead_(bytesPerRead) {}

    PortKind kind() const { return PortKind::Serial; }
    std::size_t read(std::span<std::uint8_t> buffer, std::uint32_t&, SocketAddress&) {
        const std::size_t count = std::min(bytesPerRead_, buffer.size());
        std::fill_n(buffer.begin(), count, std::uint8_t{0x55});
        return count;
    }
    void write(std::span<const std::uint8_t>, const SocketAddress&) {}
    bool writeFinished() { return true; }
    PortHealth health() const { return {}; }
    platform::WaitSource waitSource() const { return {}; }

private:
    std::size_t bytesPerRead_;
};

// The conditions and steps of serial_dispatch_cpu.py: none ever holds, every one is tried.
Environment dispatchEnvironment(int width) {
    Environment environment = onFastSerialLine(5, 50000);
    for (int k = 0; k < width; ++k) {
        const std::string n = std::to_string(k);
        const std::string named = "(R[0] == 0x02) & (LEN(R) == " + std::to_string(12 + k) + ") & (R[1] == " + n + ")";
        NamedCondition condition;
        condition.cells = {toWide("Frame" + n), toWide(named), u"0", u"0"};
        condition.condition = compiled(named);
        condition.markCondition = compiled("0");
        condition.triggerCondition = compiled("0");
        environment.namedConditions.push_back(condition);

        const bool last = k == width - 1;
        const std::string tx = "(R[0] == 0x02) & (R[1] == " + n + ") & (R[LEN(R) - 1] == 0x03)";
        SequenceStep step;
        step.cells = {toWide("s" + n), toWide(tx), u"Ack", last ? u"1" : u"0", last ? u"s0" : u""};
        step.txCondition = compiled(tx);
        step.jumpCondition = compiled(last ? "1" : "0");
        environment.sequence.push_back(step);
    }
    return environment;
}

void BM_SerialDispatchCycle(benchmark::State& state) {
    const auto bitsPerSecond = static_cast<std::size_t>(state.range(0));
    const auto width = static_cast<int>(state.range(1));
    const std::size_t bytesPerCycle = (bitsPerSecond / 10 + 50) / 100;

    auto frames = std::make_shared<const FrameMap>(FrameMap{{u"Ack", {compiled("0x06"), compiled("R[1]")}}});
    ServiceRuntime runtime(ServiceLinks{[&frames] { return frames; },
                                        [](std::u16string_view, std::span<const std::uint8_t>, std::uint64_t,
                                           std::span<const std::uint8_t>, UdpEndpoint) {},
                                        [](std::u16string_view, const PortHealth&) {},
                                        {}});
    runtime.environments = std::make_shared<const EnvironmentMap>(EnvironmentMap{{u"S1", dispatchEnvironment(width)}});
    UnframedPort port(bytesPerCycle);
    const EnvironmentPort ports[] = {{u"S1", PortLink(port)}};
    prepareEnvironments(runtime, ports);
    std::uint64_t now = 133'000'000'000'000'000;
    startClock(runtime, now);

    for (auto _ : state) {
        now += kCycle;
        runCycle(runtime, now);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * bytesPerCycle));
    state.counters["ns_per_byte"] = benchmark::Counter(static_cast<double>(state.iterations() * bytesPerCycle),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_SerialDispatchCycle)
    ->ArgNames({"bit_per_s", "width"})
    ->ArgsProduct({{921600, 3000000}, {1, 16}})
    ->Unit(benchmark::kMicrosecond);

void BM_SerialCycle(benchmark::State& state) {
    const auto bitsPerSecond = static_cast<std::size_t>(state.range(0));
    const auto conditionsAndSteps = static_cast<int>(state.range(1));
    const std::size_t bytesPerCycle = (bitsPerSecond / 10 + 50) / 100;

    std::mutex serviceLock;
    TrafficStore store;
    auto frames = std::make_shared<const FrameMap>(FrameMap{
        {u"Reply", {compiled("0x02"), compiled("R[1]"), compiled("CRC_CCITT1(T, 0, 2)"), {}, compiled("0x03")}}});
    ServiceRuntime runtime(ServiceLinks{
        [&frames] { return frames; },
        [&](std::u16string_view environment, std::span<const std::uint8_t> data, std::uint64_t time,
            std::span<const std::uint8_t> extra, UdpEndpoint peer) {
            const std::lock_guard lock(serviceLock);
            store.push(environment, data, time, extra, peer);
        },
        [](std::u16string_view, const PortHealth&) {},
        {}});
    runtime.environments =
        std::make_shared<const EnvironmentMap>(EnvironmentMap{{u"S", serialEnvironment(conditionsAndSteps)}});
    store.prepare(*runtime.environments);
    LineRatePort port(bytesPerCycle);
    const EnvironmentPort ports[] = {{u"S", PortLink(port)}};
    prepareEnvironments(runtime, ports);
    std::uint64_t now = 133'000'000'000'000'000;
    startClock(runtime, now);

    const auto began = std::chrono::steady_clock::now();
    for (auto _ : state) {
        now += kCycle;
        runCycle(runtime, now);
    }
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - began;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * bytesPerCycle));
    state.counters["bytes_per_cycle"] = static_cast<double>(bytesPerCycle);
    const double secondsPerCycle = spent.count() / static_cast<double>(state.iterations());
    state.counters["period_share_%"] = secondsPerCycle / 0.010 * 100.0;
}

BENCHMARK(BM_SerialCycle)
    ->ArgNames({"bit_per_s", "conditions_and_steps"})
    ->ArgsProduct({{115200, 921600, 3000000}, {4, 16, 64}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orvalix

BENCHMARK_MAIN();
