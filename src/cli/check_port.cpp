#include "cli/check_port.hpp"

#include <algorithm>
#include <cstdint>

#include "cli/check_names.hpp"
#include "core/expression/byte_buffer.hpp"
#include "core/ports/port.hpp"
#include "core/service/run_service.hpp"
#include "core/traffic/extra_block.hpp"
#include "core/traffic/ring_memory.hpp"

namespace orvalix::cli {
namespace {

struct NumericSetting {
    int index;
    std::string_view title;
};

constexpr NumericSetting kCapacitySettings[] = {{1, "number of traffic records"}, {2, "largest record length"}};
constexpr NumericSetting kTriggerSettings[] = {{3, "records before a trigger"}, {4, "records after a trigger"}};
constexpr NumericSetting kSerialNumbers[] = {{9, "bit rate"}, {14, "character time-out"}};
constexpr NumericSetting kHdlcNumbers[] = {{9, "bit rate"}, {15, "board parameter"}};

constexpr int kCharacterTimeoutSetting = 14;

// A history above this is allowed but worth a word: each environment keeps it twice.
constexpr std::uint64_t kLargeRingMemory = std::uint64_t{64} << 20;

std::string ipv4Text(std::uint32_t address, std::uint16_t port) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        text += std::to_string((address >> shift) & 0xFFU) + (shift == 0 ? ":" : ".");
    }
    return text + std::to_string(port);
}

}  // namespace

void PortChecks::add(const CsvFile& file, int settingIndex, Severity severity, std::string message) {
    findings_.push_back({file.path, file.lineOf(static_cast<std::size_t>(settingIndex) + 1), kSettingColumn,
                         severity, std::move(message)});
}

void PortChecks::checkNumber(const CsvFile& file, const PortSettings& settings, int index, std::string_view title) {
    const std::u16string text = setting(settings, index);
    if (!text.empty() && !readInteger(text).digitsRead) {
        add(file, index, Severity::Warning, std::string(title) + " " + inQuotes(text) + " holds no number: 0 is used");
    }
}

void PortChecks::checkKeywords(const CsvFile& file, const PortSettings& settings,
                               std::span<const KeywordSetting> table) {
    for (const KeywordSetting& keywordSetting : table) {
        const std::u16string text = setting(settings, keywordSetting.index);
        if (text.empty() || isKeyword(keywordSetting, text) || text == keywordSetting.defaultSpelling) {
            continue;
        }
        std::string allowed;
        for (const KeywordChoice& choice : keywordSetting.choices) {
            allowed += (allowed.empty() ? "" : ", ") + inQuotes(choice.text);
        }
        add(file, keywordSetting.index, Severity::Warning,
            std::string(keywordSetting.title) + " " + inQuotes(text) + " is not a keyword (" + allowed +
                "; compared exactly): " + std::string(keywordSetting.defaultMeaning) + " is used");
    }
}

// The service looks at the line once a cycle, so a time-out below the cycle ends a frame at
// the first cycle that brings no byte, however short the gap between its bytes was.
void PortChecks::checkCharacterTimeout(const CsvFile& file, const PortSettings& settings) {
    const std::u16string text = setting(settings, kCharacterTimeoutSetting);
    const NumberReading reading = readInteger(text);
    if (!text.empty() && !reading.digitsRead) {
        return;  // checkNumber says that 0 is used
    }
    const bool whole = std::all_of(text.begin() + static_cast<std::ptrdiff_t>(reading.end), text.end(), isNumberSpace);
    const bool shorterThanCycle = reading.value < kCyclePeriod.count();
    const std::string shorter = "shorter than the " + std::to_string(kCyclePeriod.count()) +
                                " ms service cycle: a frame being received ends at the first cycle that brings "
                                "no byte";
    const std::string used = std::to_string(reading.value) + " ms";
    if (text.empty()) {
        add(file, kCharacterTimeoutSetting, Severity::Warning,
            "character time-out is not given: 0 ms is used, " + shorter);
    } else if (!whole) {
        add(file, kCharacterTimeoutSetting, Severity::Warning,
            "character time-out " + inQuotes(text) + " is not a whole number of milliseconds: it reads as " + used +
                (shorterThanCycle ? ", " + shorter : ""));
    } else if (shorterThanCycle) {
        add(file, kCharacterTimeoutSetting, Severity::Warning, "character time-out of " + used + " is " + shorter);
    }
}

// Start opens the ports in the order of the environments' names and fails at the first that
// cannot be opened: a serial port opens once, a UDP endpoint binds once.
void PortChecks::checkPortInUse(const CsvFile& file, std::u16string_view environment,
                                const PortSettings& settings) {
    const PortKind kind = portKind(settings);
    std::u16string port;
    std::string what;
    if (kind == PortKind::Serial) {
        port = portName(settings);
        what = "opens the serial port " + inQuotes(port);
    } else if (kind == PortKind::Udp && settings.localPort != 0) {
        const std::string endpoint = ipv4Text(settings.localAddress, settings.localPort);
        port = std::u16string(endpoint.begin(), endpoint.end());
        what = "binds the local endpoint " + endpoint;
    } else {
        return;
    }
    const auto [owner, isFirst] = portOwners_.try_emplace({kind, port}, environment);
    if (isFirst) {
        return;
    }
    add(file, 0, Severity::Error,
        "environment " + inQuotes(environment) + " " + what + ", as environment " + inQuotes(owner->second) +
            " does: only the first can, so Start fails with \"" + cantOpenMessage(portName(settings), false) +
            "\"");
}

void PortChecks::checkHistoryMemory(const CsvFile& file, const PortSettings& settings, std::size_t conditionCount) {
    const std::int32_t capacity = recordCapacity(settings);
    const std::uint64_t bytes = ringMemory(capacity, maxRecordLength(settings),
                                           static_cast<std::int32_t>(extraBlockSize(conditionCount)));
    if (bytes <= kLargeRingMemory) {
        return;
    }
    const std::string clamped = maxRecordLength(settings) > static_cast<std::int32_t>(kMaxFrameLength)
                                    ? "; a length above " + std::to_string(kMaxFrameLength) + " counts as " +
                                          std::to_string(kMaxFrameLength)
                                    : "";
    const std::string need = "the traffic history needs " + std::to_string(bytes) + " bytes (" +
                             std::to_string(capacity) + " records of " +
                             std::to_string(bytes / static_cast<std::uint64_t>(capacity)) + " bytes" + clamped +
                             ")";
    if (bytes > kDefaultRingMemoryLimit) {
        add(file, 1, Severity::Error,
            need + ", more than the " + std::to_string(kDefaultRingMemoryLimit) +
                " bytes a history may take: Start fails; lower the number of traffic records or the "
                "largest record length, or raise the limit with orvalix-cli run --max-ring-memory");
    } else {
        add(file, 1, Severity::Warning,
            need + ", and a run keeps it twice (the service's store and the traffic window)");
    }
}

void PortChecks::checkPort(const CsvFile& file, std::u16string_view environment, const PortSettings& settings) {
    if (!isUsable(settings)) {
        if (settings.table.size() < 2) {
            findings_.push_back({file.path, 0, 0, Severity::Warning,
                                 "no port name on the second row: the environment gets no port and no traffic "
                                 "window"});
        } else {
            add(file, 0, Severity::Warning,
                "port " + inQuotes(portName(settings)) +
                    " is not usable: it names no serial port (no \"COM\"), no HDLC channel (no \"FBIHDLC\" "
                    "prefix) and no local UDP endpoint host:port that resolves; the environment gets no "
                    "port and no traffic window");
        }
        return;
    }
    const PortKind kind = portKind(settings);
    if (kind == PortKind::Serial && settings.localEndpointValid) {
        add(file, 0, Severity::Warning,
            "port " + inQuotes(portName(settings)) +
                " contains \"COM\", so it is a serial port, although it reads as a UDP endpoint");
    }
    checkPortInUse(file, environment, settings);
    for (const auto& [index, title] : kCapacitySettings) {
        checkNumber(file, settings, index, title);
    }
    for (const auto& [index, title] : kTriggerSettings) {
        checkNumber(file, settings, index, title);
    }
    if (recordCapacity(settings) < 1) {
        add(file, 1, Severity::Error,
            "number of traffic records is " + std::to_string(recordCapacity(settings)) +
                ": the traffic history needs at least 1");
    }
    if (maxRecordLength(settings) < 1) {
        add(file, 2, Severity::Error,
            "largest record length is " + std::to_string(maxRecordLength(settings)) +
                ": a record needs at least 1 byte");
    }
    if (kind == PortKind::Serial) {
        for (const auto& [index, title] : kSerialNumbers) {
            checkNumber(file, settings, index, title);
        }
        if (baudRate(settings) < 1) {
            add(file, 9, Severity::Warning,
                "bit rate is " + std::to_string(baudRate(settings)) + ": the port cannot be opened");
        }
        checkKeywords(file, settings, serialKeywordSettings());
        checkCharacterTimeout(file, settings);
    } else if (kind == PortKind::HdlcBoard) {
        for (const auto& [index, title] : kHdlcNumbers) {
            checkNumber(file, settings, index, title);
        }
        checkKeywords(file, settings, hdlcKeywordSettings());
    } else if (kind == PortKind::Udp) {
        const std::u16string remote = setting(settings, 9);
        if (!remote.empty() && !settings.remoteEndpointValid) {
            add(file, 9, Severity::Warning,
                "remote endpoint " + inQuotes(remote) +
                    " does not parse as host:port: replies go to the sender of the last datagram");
        }
    }
}

}  // namespace orvalix::cli
