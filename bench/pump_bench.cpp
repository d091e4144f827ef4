// Records per second through the update pump for one environment: taken from the service's
// TrafficStore, appended to the environment's TrafficStream with their marks, shown to the
// trigger recordings and appended to the log files under a temporary data folder.
//
//   orvalix_bench_pump [--benchmark_filter=...]
//
// BM_PumpTick/records:R/recordings:K/output:O/capture:C moves R records (half received, half
// sent) in one pass, the way one 333 ms tick does, with K trigger recordings running (each
// record is then written to K log files); output O = 1 writes the command line's text line per
// record, O = 2 its JSON line (--format jsonl), both to a stream that discards them; C = 1 also
// writes each record to a pcapng capture file, flushed at the pass's end as a tick does.
// Counter ms_per_tick is the pass's time, to set beside 333 ms; the rows of 10000 records and
// no recordings set each output and the capture beside the pass without them.
//
// The service's store is filled only by its own thread, so the tick is driven here through
// the same pieces updateTraffic uses, on a store of the bench's own, each pop under a lock as
// popTraffic takes. BM_UpdateTrafficEmpty calls updateTraffic itself on a service with
// nothing to move: the cost of each environment's pass in every tick.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <ostream>
#include <span>
#include <streambuf>
#include <string>
#include <vector>

#include "cli/console_sink.hpp"
#include "cli/json_lines_sink.hpp"
#include "core/capture/capture_file.hpp"
#include "core/diagnostics/execution_trace.hpp"
#include "core/diagnostics/trace_messages.hpp"
#include "core/bytes/byte_buffer.hpp"
#include "core/service/simulation_service.hpp"
#include "core/session/traffic_sink.hpp"
#include "core/session/update_traffic.hpp"
#include "core/text/text_conversion.hpp"
#include "core/traffic/extra_block.hpp"
#include "core/traffic/traffic_store.hpp"
#include "core/traffic/traffic_stream.hpp"
#include "core/traffic/trigger_recorder.hpp"

namespace orvalix {
namespace {

constexpr std::size_t kConditionCount = 4;
constexpr std::u16string_view kEnvironmentName = u"D1";
constexpr std::uint64_t kCycle = 100'000;  // 10 ms in 100 ns units

class DiscardingBuffer : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

class NullSink final : public TrafficSink {
public:
    void onEvent(const TrafficEvent&) override {}
};

// A temporary data folder, removed with everything in it at the end.
class TemporaryFolder {
public:
    TemporaryFolder()
        : path_(std::filesystem::temp_directory_path() /
                ("orvalix-pump-bench-" +
                 std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()))) {
        std::filesystem::create_directories(path_);
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::u16string text() const { return toWide(path_.string()); }

private:
    std::filesystem::path path_;
};

// A serial device whose history holds a whole tick, ten records before a trigger go to its log
// file and a recording never runs out.
Environment deviceEnvironment(std::int32_t capacity) {
    Environment environment;
    environment.port = PortOptions{u"COM1", capacity, 64, 10, -1, SerialOptions{}};
    for (std::size_t i = 0; i < kConditionCount; ++i) {
        environment.namedConditions.emplace_back().cells = {u"Condition" + toWide(std::to_string(i)), u"1",
                                                            u"", u""};
    }
    return environment;
}

// What the service pushes for a request and its reply: 6 and 7 bytes, the request marked.
void pushExchanges(TrafficStore& store, std::int64_t records, std::uint64_t& now, std::size_t triggers) {
    std::vector<std::uint8_t> extra(extraBlockSize(kConditionCount));
    for (std::int64_t i = 0; i < records; ++i) {
        const bool received = i % 2 == 0;
        const auto n = static_cast<std::uint8_t>(i / 2);
        const std::vector<std::uint8_t> request{0x02, 0x53, n, 0x03, 0x0c, 0xe5};
        const std::vector<std::uint8_t> reply{0x02, 0x73, n, 0x00, 0x03, 0x51, 0xad};
        std::fill(extra.begin(), extra.end(), std::uint8_t{0});
        setAttribute(extra, received ? kReceivedAttribute : 0);
        if (received) {
            setMarkBit(extra, kConditionCount, 0);
        }
        // The tick's first record starts the recordings.
        for (std::size_t k = 0; i == 0 && k < triggers; ++k) {
            setTriggerBit(extra, kConditionCount, k);
        }
        store.push(kEnvironmentName, received ? request : reply, now, extra);
        now += kCycle / 2;
    }
}

// One environment's part of a tick, as updateTraffic does it.
std::int32_t pumpPass(ExecutionTrace& trace, TrafficSink& sink, std::mutex& serviceLock, TrafficStore& store,
                      TriggerRecorder& recorder, std::u16string_view dataFolder,
                      const Environment& environment, TrafficStream& stream, CaptureFile* capture) {
    namespace messages = trace_messages;
    trace.record(messages::kUpdateStart);
    std::vector<std::uint8_t> data(kMaxFrameLength);
    std::vector<std::uint8_t> extra(extraBlockSize(environment.namedConditions.size()));
    PendingLogRecords pending;
    std::int32_t appended = 0;
    std::int32_t marks = 0;
    trace.record(messages::kUpdatePreparedBuffers);
    for (;;) {
        std::uint64_t time = 0;
        UdpEndpoint peer;
        std::fill(extra.begin(), extra.end(), std::uint8_t{0});
        std::int32_t length = 0;
        {
            const std::lock_guard lock(serviceLock);
            length = store.pop(kEnvironmentName, data, time, extra, peer);
        }
        trace.record(messages::kUpdatePumpedUp, length);
        if (length < 1) {
            break;
        }
        const auto record = std::span<const std::uint8_t>(data).first(static_cast<std::size_t>(length));
        stream.append(record, time, extra);
        ++appended;
        marks += stream.addMarks(time, extra);
        sink.onEvent(RecordPumped{kEnvironmentName, environment, record, time, extra});
        if (capture != nullptr) {
            capture->addRecord(kEnvironmentName, record, time, extra, peer);
        }
        trace.record(messages::kUpdateTransferred);
        for (const StartedLog& log : recorder.triggerStep(dataFolder, kEnvironmentName, environment, stream,
                                                          record, time, extra, pending)
                                         .started) {
            sink.onEvent(LogFileStarted{kEnvironmentName, log});
        }
        trace.record(messages::kUpdateSavedToDisk);
    }
    if (appended > 0 || marks > 0) {
        sink.onEvent(StreamUpdated{kEnvironmentName, stream, marks, appended});
    }
    trace.record(messages::kUpdateUpdatedWindow);
    recorder.flush(kEnvironmentName, pending);
    trace.record(messages::kUpdateSavedAfterTrigger);
    if (capture != nullptr && capture->flush()) {
        return -1;
    }
    return appended;
}

void BM_PumpTick(benchmark::State& state) {
    const std::int64_t records = state.range(0);
    const auto recordings = static_cast<std::size_t>(state.range(1));
    const std::int64_t output = state.range(2);
    const bool capturing = state.range(3) != 0;

    const TemporaryFolder folder;
    const std::u16string dataFolder = folder.text();
    EnvironmentMap environments{
        {std::u16string(kEnvironmentName), deviceEnvironment(static_cast<std::int32_t>(records))}};
    const Environment& environment = environments.begin()->second;
    TrafficStore store;
    store.prepare(environments);
    std::mutex serviceLock;
    TrafficStream stream(environment);
    TriggerRecorder recorder;
    ExecutionTrace trace(trace_messages::kPrimaryTraceCapacity);
    DiscardingBuffer discarded;
    std::ostream out(&discarded);
    NullSink nullSink;
    cli::ConsoleSink consoleSink(cli::Console{out, out}, false);
    cli::ConsoleSink jsonText(cli::Console{out, out}, true);
    cli::JsonLinesSink jsonSink(out, false, jsonText);
    TrafficSink* const sinks[] = {&nullSink, &consoleSink, &jsonSink};
    TrafficSink& sink = *sinks[output];
    CaptureFile captureFile;
    if (capturing) {
        if (captureFile.open(folder.path() / "bench.pcapng", {captureInterface(kEnvironmentName, environment)})) {
            state.SkipWithError("the capture file cannot be made");
            return;
        }
    }
    std::uint64_t now = 133'500'000'000'000'000;

    std::int64_t moved = 0;
    std::chrono::steady_clock::duration passes{};
    for (auto _ : state) {
        state.PauseTiming();
        // Every tick starts its recordings afresh: log files do not grow from tick to tick.
        recorder.clear();
        std::filesystem::remove_all(folder.path() / "Logs");
        pushExchanges(store, records, now, recordings);
        state.ResumeTiming();
        const auto began = std::chrono::steady_clock::now();
        moved += pumpPass(trace, sink, serviceLock, store, recorder, dataFolder, environment, stream,
                          capturing ? &captureFile : nullptr);
        passes += std::chrono::steady_clock::now() - began;
    }
    if (moved != records * static_cast<std::int64_t>(state.iterations())) {
        state.SkipWithError("the pass did not move every record");
        return;
    }
    state.SetItemsProcessed(moved);
    state.counters["ms_per_tick"] =
        std::chrono::duration<double, std::milli>(passes).count() / static_cast<double>(state.iterations());
}

BENCHMARK(BM_PumpTick)
    ->ArgNames({"records", "recordings", "output", "capture"})
    ->ArgsProduct({{100, 1000, 10000}, {0, 1, 4}, {0, 1}, {0}})
    ->Args({10000, 0, 2, 0})
    ->Args({10000, 0, 0, 1})
    ->Args({10000, 0, 1, 1})
    ->Args({10000, 0, 2, 1})
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

void BM_UpdateTrafficEmpty(benchmark::State& state) {
    const TemporaryFolder folder;
    const std::u16string dataFolder = folder.text();
    const EnvironmentMap environments{{std::u16string(kEnvironmentName), deviceEnvironment(1000)}};
    const Environment& environment = environments.begin()->second;
    SimulationService service(ServiceOptions{folder.path(), Language::English});
    service.setEnvironments(std::make_shared<const EnvironmentMap>(environments));
    TrafficStream stream(environment);
    TriggerRecorder recorder;
    ExecutionTrace trace(trace_messages::kPrimaryTraceCapacity);
    NullSink sink;
    ReplyTimes replies;
    const PumpParts parts{trace, sink, service, recorder, dataFolder, nullptr};
    for (auto _ : state) {
        updateTraffic(parts, kEnvironmentName, environment, &stream, replies);
    }
}
BENCHMARK(BM_UpdateTrafficEmpty);

}  // namespace
}  // namespace orvalix

BENCHMARK_MAIN();
