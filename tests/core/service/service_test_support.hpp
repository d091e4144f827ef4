#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "../project/temp_folder.hpp"
#include "core/expression/compile_expression.hpp"
#include "core/ports/port.hpp"
#include "core/project/project.hpp"
#include "core/service/cycle.hpp"
#include "core/service/service_runtime.hpp"
#include "core/text/text_conversion.hpp"

namespace orvalix::test {

using Bytes = std::vector<std::uint8_t>;

// A cell text that does not compile: its program stays empty and evaluates to -1.
inline constexpr std::string_view kBroken = "1 +";

inline CompiledExpression compiled(std::string_view text) {
    CompiledExpression expression;
    if (text.empty()) {
        return expression;
    }
    const int status = compileExpression(text, expression);
    if (text == kBroken) {
        EXPECT_NE(status, 0);
    } else {
        EXPECT_EQ(status, 0) << text;
    }
    return expression;
}

// A sequence row: label, transmit condition, frame, jump condition, jump target.
inline SequenceStep step(std::string_view tx, std::string_view frame = "", std::string_view target = "",
                         std::string_view jump = "", std::string_view label = "") {
    SequenceStep row;
    row.cells = {toWide(label), toWide(tx), toWide(frame), toWide(jump), toWide(target)};
    row.txCondition = compiled(tx);
    row.jumpCondition = compiled(jump);
    return row;
}

inline NamedCondition named(std::string_view name, std::string_view condition, std::string_view mark = "",
                            std::string_view trigger = "") {
    NamedCondition row;
    row.cells = {toWide(name), toWide(condition), toWide(mark), toWide(trigger)};
    row.condition = compiled(condition);
    row.markCondition = compiled(mark);
    row.triggerCondition = compiled(trigger);
    return row;
}

inline FrameDefinition frame(const std::vector<std::string_view>& rows) {
    FrameDefinition definition;
    for (const std::string_view row : rows) {
        definition.push_back(compiled(row));
    }
    return definition;
}

// An environment table: a header row, then one row per setting with its value in column 2.
inline PortSettings settingsOf(const std::vector<std::u16string>& values) {
    PortSettings settings;
    settings.table.push_back({u"Item", u"Description", u"Value"});
    for (const std::u16string& value : values) {
        settings.table.push_back({u"setting", u"", value});
    }
    return settings;
}

inline constexpr std::uint32_t kLoopback = 0x7F000001;

inline PortSettings udpSettings(std::uint16_t localPort) {
    PortSettings settings =
        settingsOf({toWide("127.0.0.1:" + std::to_string(localPort)), u"100", u"64", u"0", u"0"});
    settings.localEndpointValid = true;
    settings.localAddress = kLoopback;
    settings.localPort = localPort;
    return settings;
}

inline Environment serialEnvironment(int characterTimeoutMs, std::vector<SequenceStep> sequence,
                                     std::vector<NamedCondition> conditions = {}) {
    std::vector<std::u16string> values(15);
    values[0] = u"COM1";
    values[1] = u"100";
    values[2] = u"64";
    values[14] = toWide(std::to_string(characterTimeoutMs));
    return Environment{settingsOf(values), std::move(sequence), std::move(conditions)};
}

inline Environment udpEnvironment(std::vector<SequenceStep> sequence, std::vector<NamedCondition> conditions = {},
                                  std::uint16_t localPort = 5000) {
    return Environment{udpSettings(localPort), std::move(sequence), std::move(conditions)};
}

// Stands in for an open port: delivers one queued chunk per read and keeps what is written.
// A serial-like port keeps each write in flight until complete() is called.
struct FakePort {
    std::deque<Bytes> incoming;
    std::uint32_t status = 0;
    SocketAddress sender;
    bool writesCompleteAtOnce = true;
    bool writeInFlight = false;
    std::vector<Bytes> written;
    std::vector<SocketAddress> destinations;

    // Without it, writes are only counted (a stand-in that allocates nothing).
    bool keepWrites = true;
    std::size_t writeCount = 0;

    std::size_t read(std::span<std::uint8_t> buffer, std::uint32_t& statusOut, SocketAddress& senderOut) {
        if (incoming.empty()) {
            return 0;
        }
        const Bytes& chunk = incoming.front();
        const std::size_t count = std::min(chunk.size(), buffer.size());
        std::copy_n(chunk.begin(), count, buffer.begin());
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
    }
    bool writeFinished() { return !writeInFlight; }
    void complete() { writeInFlight = false; }
};

struct Pushed {
    std::u16string environment;
    Bytes data;
    std::uint64_t time = 0;
    Bytes extra;

    std::uint32_t attribute() const {
        return extra.size() < 4 ? 0
                                : static_cast<std::uint32_t>(extra[0] | (extra[1] << 8) | (extra[2] << 16) |
                                                             (static_cast<std::uint32_t>(extra[3]) << 24));
    }
    bool received() const { return (attribute() & 0x80000000u) != 0; }
};

inline constexpr std::uint64_t kStart = 133'000'000'000'000'000;  // some FILETIME in 2022
inline constexpr std::uint64_t kCycle = 100'000;                    // 10 ms

// A service runtime over fake ports, without thread, timer or lock: cycles are run by hand.
class Rig {
public:
    Rig()
        : runtime_(std::make_unique<ServiceRuntime>(ServiceLinks{
              [this] { return frames_; },
              [this](std::u16string_view environment, std::span<const std::uint8_t> data, std::uint64_t time,
                     std::span<const std::uint8_t> extra) {
                  ++pushCount;
                  if (keepPushes) {
                      pushed.push_back({std::u16string(environment), Bytes(data.begin(), data.end()), time,
                                        Bytes(extra.begin(), extra.end())});
                  }
              }})) {}

    // Environments are visited in the order they are added.
    FakePort& add(std::u16string name, Environment environment) {
        runtime_->environments.insert_or_assign(name, std::move(environment));
        ports_.push_back(std::make_unique<FakePort>());
        names_.push_back(std::move(name));
        return *ports_.back();
    }

    void setFrames(FrameMap frames) { frames_ = std::make_shared<const FrameMap>(std::move(frames)); }

    // Prepares the environments and the clock, as start-up does once the ports are open.
    void start(std::uint64_t startTime = kStart) {
        std::vector<EnvironmentPort> ports;
        for (std::size_t i = 0; i < names_.size(); ++i) {
            ports.push_back({names_[i], PortLink(*ports_[i])});
        }
        prepareEnvironments(*runtime_, ports);
        startClock(*runtime_, startTime);
        now_ = startTime;
    }

    // The next cycle, one period after the previous one.
    void cycle(std::uint64_t elapsed = kCycle) {
        now_ += elapsed;
        runCycle(*runtime_, now_);
    }

    ServiceRuntime& runtime() { return *runtime_; }
    EnvironmentRuntime& environment(std::size_t i) { return runtime_->perEnvironment.at(i); }
    std::uint64_t now() const { return now_; }

    Bytes stored(std::u16string_view name) const {
        const auto found = runtime_->namedStore.find(name);
        if (found == runtime_->namedStore.end()) {
            return {};
        }
        return Bytes(found->second.data.begin(), found->second.data.begin() + found->second.length);
    }

    // The checkpoint texts recorded so far, oldest first; the trace is emptied.
    std::vector<std::string> checkpoints() {
        TempFolder folder;
        const std::filesystem::path file = folder.path() / "trace.csv";
        EXPECT_TRUE(runtime_->trace.dumpToFile(file));
        return checkpointsIn(file);
    }

    static std::vector<std::string> checkpointsIn(const std::filesystem::path& file) {
        std::ifstream stream(file);
        std::vector<std::string> texts;
        std::string line;
        std::getline(stream, line);  // the frequency line
        while (std::getline(stream, line)) {
            const auto separator = line.find(",,");
            texts.push_back(separator == std::string::npos ? line : line.substr(separator + 2));
        }
        return texts;
    }

    std::vector<Pushed> pushed;
    // Without it, pushes are only counted.
    bool keepPushes = true;
    std::size_t pushCount = 0;

private:
    std::shared_ptr<const FrameMap> frames_ = std::make_shared<const FrameMap>();
    std::unique_ptr<ServiceRuntime> runtime_;
    std::vector<std::unique_ptr<FakePort>> ports_;
    std::vector<std::u16string> names_;
    std::uint64_t now_ = kStart;
};

inline std::vector<std::string> matching(const std::vector<std::string>& texts, std::string_view prefix) {
    std::vector<std::string> found;
    for (const std::string& text : texts) {
        if (text.starts_with(prefix)) {
            found.push_back(text);
        }
    }
    return found;
}

}  // namespace orvalix::test
