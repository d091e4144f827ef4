#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "../ports/port_test_support.hpp"
#include "../project/temp_folder.hpp"
#include "core/expression/compile_expression.hpp"
#include "core/ports/port.hpp"
#include "core/ports/udp_socket.hpp"
#include "core/project/project.hpp"
#include "core/service/arrival.hpp"
#include "core/service/cycle.hpp"
#include "core/service/service_runtime.hpp"
#include "core/text/text_conversion.hpp"
#include "core/traffic/extra_block.hpp"

namespace orvalix::test {

// A cell text that does not compile: its program stays empty and evaluates to -1.
inline constexpr std::string_view kBroken = "1 +";
inline constexpr std::uint64_t kStart = 133'000'000'000'000'000;  // some FILETIME in 2022
inline constexpr std::uint64_t kCycle = 100'000;                    // 10 ms

inline CompiledExpression compiled(std::string_view text, ExpressionPlace place = ExpressionPlace::Value) {
    std::optional<CompiledExpression> expression =
        text.empty() ? std::optional(CompiledExpression{}) : compileExpression(text, place).program;
    EXPECT_EQ(expression.has_value(), text != kBroken) << text;
    return std::move(expression).value_or(CompiledExpression{});
}

// A sequence row: label, transmit condition, frame, jump condition, jump target.
inline SequenceStep step(std::string_view tx, std::string_view frame = "", std::string_view target = "",
                         std::string_view jump = "", std::string_view label = "") {
    return {{toWide(label), toWide(tx), toWide(frame), toWide(jump), toWide(target)}, compiled(tx), compiled(jump)};
}

inline NamedCondition named(std::string_view name, std::string_view condition, std::string_view mark = "",
                            std::string_view trigger = "") {
    return {{toWide(name), toWide(condition), toWide(mark), toWide(trigger)},
            compiled(condition), compiled(mark), compiled(trigger)};
}

inline FrameDefinition frame(const std::vector<std::string_view>& rows) {
    FrameDefinition definition;
    std::ranges::transform(rows, std::back_inserter(definition),
                           [](std::string_view row) { return compiled(row, ExpressionPlace::FrameRow); });
    return definition;
}

// An environment whose file gives the port, 100 records of 64 bytes and, from setting 3 on,
// the settings given.
inline Environment environment(std::u16string port, std::vector<SequenceStep> sequence,
                               std::vector<NamedCondition> conditions, std::vector<std::u16string> fromThree = {}) {
    std::vector<std::u16string> settings{std::move(port), u"100", u"64"};
    settings.insert(settings.end(), fromThree.begin(), fromThree.end());
    return Environment{settingsOf(settings), std::move(sequence), std::move(conditions), {}};
}

inline Environment serial(int characterTimeoutMs, std::vector<SequenceStep> sequence,
                          std::vector<NamedCondition> conditions = {}) {
    std::vector<std::u16string> fromThree(12);
    fromThree.back() = toWide(std::to_string(characterTimeoutMs));  // setting 14
    return environment(u"COM1", std::move(sequence), std::move(conditions), std::move(fromThree));
}

inline Environment udp(std::vector<SequenceStep> sequence, std::vector<NamedCondition> conditions = {},
                       std::uint16_t localPort = 5000) {
    return environment(toWide("127.0.0.1:" + std::to_string(localPort)), std::move(sequence),
                       std::move(conditions));
}

// A TCP port: row 15 is the character time-out, as a serial port's.
inline Environment tcp(int characterTimeoutMs, std::vector<SequenceStep> sequence,
                       std::vector<NamedCondition> conditions = {}) {
    std::vector<std::u16string> fromThree(12);
    fromThree.back() = toWide(std::to_string(characterTimeoutMs));  // setting 14
    return environment(u"tcp-server://127.0.0.1:5000", std::move(sequence), std::move(conditions),
                       std::move(fromThree));
}

// Stands in for an open port: delivers one queued chunk per read, at most chunksPerCycle of
// them a cycle (the rest have not arrived yet), and keeps what is written. A serial-like port
// keeps each write in flight until complete() is called. As a real port, it tells a write's
// completion once: writeFinished() is true once after it (and once at the start).
struct FakePort {
    PortKind portKind = PortKind::None;
    std::deque<Bytes> incoming;
    std::size_t chunksPerCycle = 1;
    std::size_t readThisCycle = 0;  // reset by the rig at each cycle
    std::uint32_t status = 0;
    SocketAddress sender;
    bool writesCompleteAtOnce = true;
    bool writeInFlight = false;
    bool completionToTell = true;
    bool keepWrites = true;  // without it writes are only counted: a stand-in that allocates nothing
    std::size_t writeCount = 0;
    std::vector<Bytes> written;
    std::vector<SocketAddress> destinations;
    PortHealth told;  // what health() answers
    std::size_t readCount = 0;

    PortKind kind() const { return portKind; }
    std::size_t read(std::span<std::uint8_t> buffer, std::uint32_t& statusOut, SocketAddress& senderOut) {
        ++readCount;
        if (incoming.empty() || readThisCycle == chunksPerCycle) {
            return 0;
        }
        ++readThisCycle;
        const std::size_t count = std::min(incoming.front().size(), buffer.size());
        std::copy_n(incoming.front().begin(), count, buffer.begin());
        incoming.pop_front();
        statusOut = status;
        senderOut = sender;
        return count;
    }
    void write(std::span<const std::uint8_t> data, const SocketAddress& destination) {
        ++writeCount;
        if (keepWrites) {
            written.emplace_back(data.begin(), data.end());
            destinations.push_back(destination);
        }
        writeInFlight = !writesCompleteAtOnce;
        completionToTell = writesCompleteAtOnce;
    }
    bool writeFinished() { return std::exchange(completionToTell, false); }
    PortHealth health() const { return told; }
    platform::WaitSource waitSource() const { return {}; }
    void complete() {
        writeInFlight = false;
        completionToTell = true;
    }
};

// The checkpoint texts of a dumped trace file, oldest first.
inline std::vector<std::string> checkpointsIn(const std::filesystem::path& file) {
    std::ifstream stream(file);
    std::vector<std::string> texts;
    std::string line;
    std::getline(stream, line);  // the frequency line
    while (std::getline(stream, line)) {
        texts.push_back(line.substr(line.find(",,") + 2));
    }
    return texts;
}

inline std::vector<std::string> matching(std::vector<std::string> texts, std::string_view prefix) {
    std::erase_if(texts, [&](const std::string& text) { return !text.starts_with(prefix); });
    return texts;
}

// A traffic record as "rx", "tx" or else its attribute word, its bytes, then " m<k>" and " t<k>"
// for each named condition k whose mark and trigger bit it carries.
inline std::string describeRecord(const Environment& settings, std::span<const std::uint8_t> data,
                                  std::span<const std::uint8_t> extra) {
    const std::uint32_t word = attribute(extra);
    std::array<char, 12> hex{};
    std::snprintf(hex.data(), hex.size(), "%08lx", static_cast<unsigned long>(word));
    std::string text = word == 0 ? "tx" : word == 0x80000000u ? "rx" : hex.data();
    for (const std::uint8_t byte : data) {
        std::snprintf(hex.data(), hex.size(), " %02x", static_cast<unsigned>(byte));
        text += hex.data();
    }
    const std::size_t count = settings.namedConditions.size();
    for (std::size_t k = 0; k < count; ++k) {
        text += (markBit(extra, count, k) ? " m" + std::to_string(k) : "") +
                (triggerBit(extra, count, k) ? " t" + std::to_string(k) : "");
    }
    return text;
}

// A service runtime over fake ports, without thread, timer or lock: cycles are run by hand.
class Rig {
public:
    Rig()
        : runtime_(std::make_unique<ServiceRuntime>(ServiceLinks{[this] { return frames_; }, pushLink(), reportLink(), coverageLink()})) {}

    // Environments are visited in the order they are added. A fake port is of the kind its
    // settings name unless told otherwise.
    FakePort& add(std::u16string name, Environment settings, std::optional<PortKind> kind = {}) {
        fakes_.push_back(std::make_unique<FakePort>());
        fakes_.back()->portKind = kind.value_or(portKind(settings.port));
        attach(std::move(name), std::move(settings), *fakes_.back());
        return *fakes_.back();
    }
    template <class Port>
    void attach(std::u16string name, Environment settings, Port& port) {
        const auto entry = environments_->insert_or_assign(std::move(name), std::move(settings)).first;
        ports_.push_back({entry->first, PortLink(port)});
    }
    void setFrames(FrameMap frames) { frames_ = std::make_shared<const FrameMap>(std::move(frames)); }
    void seedFaults(std::uint64_t seed) { runtime_->faultRandom = FaultRandom(seed); }

    // Prepares the environments and the clock, as start-up does once the ports are open.
    void start() {
        runtime_->environments = environments_;
        prepareEnvironments(*runtime_, ports_);
        startClock(*runtime_, kStart);
    }
    void cycle(std::uint64_t elapsed = kCycle) {
        now_ += elapsed;
        ++cycles_;
        for (const auto& fake : fakes_) {
            fake->readThisCycle = 0;
        }
        runCycle(*runtime_, now_);
    }
    // Between two cycles, elapsed after the last cycle or pass: the passes of an on-arrival run
    // for the environments the waiter found ready (by place), then for the deadlines come.
    void between(std::uint64_t elapsed, std::span<const std::size_t> ready) {
        now_ += elapsed;
        for (const auto& fake : fakes_) {
            fake->readThisCycle = 0;
        }
        serveBetweenCycles(*runtime_, ready, now_);
    }
    // The earliest character deadline, after the start of the run.
    std::optional<std::uint64_t> deadline() const {
        const std::optional<std::uint64_t> at = earliestCharacterDeadline(*runtime_);
        return at ? std::optional(*at - kStart) : std::nullopt;
    }
    std::uint64_t elapsed() const { return now_ - kStart; }
    ServiceRuntime& runtime() { return *runtime_; }

    EnvironmentRuntime& environment(std::size_t i) { return runtime_->perEnvironment.at(i); }

    // The checkpoint texts recorded so far, oldest first; the trace is emptied.
    std::vector<std::string> checkpoints() {
        TempFolder folder;
        EXPECT_TRUE(runtime_->trace.dumpToFile(folder.path() / "trace.csv"));
        return checkpointsIn(folder.path() / "trace.csv");
    }

    // Each record pushed, which must carry its cycle's time: the cycle's number (from 1) and
    // the record as described by describeRecord.
    std::vector<std::string> pushed;
    std::vector<UdpEndpoint> peers;  // the peer of each kept push
    bool keepPushes = true;  // without it pushes are only counted
    std::size_t pushCount = 0;
    // Each port report: the cycle's number, the environment, the lost error and the drop count.
    std::vector<std::string> reports;
    bool keepReports = true;  // without it reports are dropped

    // The coverage last published for each environment.
    std::map<std::u16string, EnvironmentCoverage, std::less<>> published;

private:
    decltype(ServiceLinks::reportCoverage) coverageLink() {
        return [this](std::u16string_view name, const EnvironmentCoverage& coverage, std::size_t firstStep,
                      std::size_t endStep) {
            // Shaped as start-up shapes it, so that only what the cycle reports as changed moves.
            auto entry = published.find(name);
            if (entry == published.end()) {
                entry = published.emplace(name, EnvironmentCoverage{0, 0, std::vector<StepCoverage>(coverage.steps.size()),
                                                                    coverage.conditions, coverage.faults, 0}).first;
            }
            copyChangedCoverage(coverage, firstStep, endStep, entry->second);
        };
    }
    decltype(ServiceLinks::reportPort) reportLink() {
        return [this](std::u16string_view name, const PortHealth& health) {
            if (!keepReports) {
                return;
            }
            reports.push_back(std::to_string(cycles_) + ' ' + toNarrow(name) + " lost " +
                              std::to_string(health.lostError) + " dropped " + std::to_string(health.droppedDatagrams));
        };
    }
    decltype(ServiceLinks::pushTraffic) pushLink() {
        return [this](std::u16string_view name, std::span<const std::uint8_t> data, std::uint64_t time,
                      std::span<const std::uint8_t> extra, UdpEndpoint peer) {
            ++pushCount;
            EXPECT_EQ(time, now_);
            if (keepPushes) {
                const Environment& settings = environments_->find(name)->second;
                pushed.push_back(std::to_string(cycles_) + ' ' + describeRecord(settings, data, extra));
                peers.push_back(peer);
            }
        };
    }

    std::shared_ptr<const FrameMap> frames_ = std::make_shared<const FrameMap>();
    // Filled by add() before start() hands it to the runtime.
    std::shared_ptr<EnvironmentMap> environments_ = std::make_shared<EnvironmentMap>();
    std::unique_ptr<ServiceRuntime> runtime_;
    std::vector<std::unique_ptr<FakePort>> fakes_;
    std::vector<EnvironmentPort> ports_;
    std::uint64_t now_ = kStart;
    int cycles_ = 0;
};

// The far end of the wire: a loopback socket.
class Peer {
public:
    std::uint16_t port() const { return socket_.localPort(); }

    // Sends the request (if any), then waits about `waitMs` for a datagram; all that up to `tries`
    // times, since requests sent before the service listens are lost. The default wait is two
    // cycles: an answer seldom comes after the request was sent again.
    std::optional<Bytes> ask(std::uint16_t port, const Bytes& request, int tries = 500, int waitMs = 20) {
        std::array<std::uint8_t, 256> buffer{};
        SocketAddress sender;
        for (int attempt = 0; attempt < tries; ++attempt) {
            if (!request.empty()) {
                socket_.send(request, ipv4SocketAddress(kLoopback, port));
            }
            for (int i = 0; i < waitMs; ++i) {
                if (!socket_.readable()) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                } else if (const auto count = socket_.receive(buffer, sender)) {
                    return Bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(*count));
                }
            }
        }
        return std::nullopt;
    }

private:
    UdpSocket socket_ = UdpSocket::bind(kLoopback, 0).opened.value();
};

}  // namespace orvalix::test
