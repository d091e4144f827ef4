#include "cli/check_port.hpp"

#include <algorithm>
#include <cstdint>

#include "cli/check_names.hpp"
#include "core/bytes/byte_buffer.hpp"
#include "core/platform/device_files.hpp"
#include "core/ports/port.hpp"
#include "core/ports/udp_endpoint.hpp"
#include "core/service/run_service.hpp"
#include "core/text/read_integer.hpp"
#include "core/text/text_conversion.hpp"
#include "core/traffic/extra_block.hpp"
#include "core/traffic/ring_memory.hpp"

namespace orvalix::cli {
namespace {

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

void PortChecks::checkNumbers(const CsvFile& file, const CsvTable& rows, std::span<const NumericSetting> table) {
    for (const auto& [index, title] : table) {
        const std::u16string_view text = settingText(rows, index);
        if (!text.empty() && !readInteger(text).digitsRead) {
            add(file, index, Severity::Warning,
                std::string(title) + " " + inQuotes(text) + " holds no number: 0 is used");
        }
    }
}

void PortChecks::checkKeywords(const CsvFile& file, const CsvTable& rows, std::span<const KeywordSetting> table) {
    for (const KeywordSetting& keywordSetting : table) {
        const std::u16string_view text = settingText(rows, keywordSetting.index);
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
void PortChecks::checkCharacterTimeout(const CsvFile& file, const CsvTable& rows) {
    const int row = kCharacterTimeoutSetting.index;
    const std::u16string_view text = settingText(rows, row);
    const NumberReading reading = readInteger(text);
    if (!text.empty() && !reading.digitsRead) {
        return;  // checkNumbers says that 0 is used
    }
    const bool whole = std::all_of(text.begin() + static_cast<std::ptrdiff_t>(reading.end), text.end(), isNumberSpace);
    const bool shorterThanCycle = reading.value < kCyclePeriod.count();
    const std::string shorter = "shorter than the " + std::to_string(kCyclePeriod.count()) +
                                " ms service cycle: a frame being received ends at the first cycle that brings "
                                "no byte";
    const std::string used = std::to_string(reading.value) + " ms";
    if (text.empty()) {
        add(file, row, Severity::Warning, "character time-out is not given: 0 ms is used, " + shorter);
    } else if (!whole) {
        add(file, row, Severity::Warning,
            "character time-out " + inQuotes(text) + " is not a whole number of milliseconds: it reads as " + used +
                (shorterThanCycle ? ", " + shorter : ""));
    } else if (shorterThanCycle) {
        add(file, row, Severity::Warning, "character time-out of " + used + " is " + shorter);
    }
}

// Start opens the ports in the order of the environments' names and fails at the first that
// cannot be opened: a serial port opens once, a UDP endpoint binds once.
void PortChecks::checkPortInUse(const CsvFile& file, std::u16string_view environment, const PortOptions& port) {
    const PortKind kind = portKind(port);
    const auto* udp = std::get_if<UdpOptions>(&port.kind);
    std::u16string opened;
    std::string what;
    if (const auto* serial = std::get_if<SerialOptions>(&port.kind)) {
        // By device, since "ttyUSB0" and "/dev/ttyUSB0" open one.
        opened = serial->device;
        what = "opens the serial port " + inQuotes(port.name);
    } else if (udp != nullptr && udp->local.port != 0) {
        const std::string endpoint = ipv4Text(udp->local.address, udp->local.port);
        opened = std::u16string(endpoint.begin(), endpoint.end());
        what = "binds the local endpoint " + endpoint;
    } else {
        return;
    }
    const auto [owner, isFirst] = portOwners_.try_emplace({kind, opened}, environment);
    if (isFirst) {
        return;
    }
    add(file, kPortNameSetting, Severity::Error,
        "environment " + inQuotes(environment) + " " + what + ", as environment " + inQuotes(owner->second) +
            " does: only the first can, so Start fails with \"" +
            cantOpenMessage(port.name, Language::English) + "\"");
}

// The device a name opens depends on the machine; a device path is meant for this one, so
// one that names no device here is worth a word.
void PortChecks::checkSerialDevice(const CsvFile& file, const PortOptions& port, const SerialOptions& serial) {
    using platform::DeviceNode;
    const DeviceNode node = platform::deviceNodeAt(serial.device);
    const std::string state = node == DeviceNode::Missing     ? " (not there now)"
                              : node == DeviceNode::OtherFile ? " (no character device)"
                                                              : "";
    notes_.push_back({file.path, file.lineOf(static_cast<std::size_t>(kPortNameSetting) + 1), kSettingColumn,
                      Severity::Info,
                      "serial port " + inQuotes(port.name) + " opens the device " + toNarrow(serial.device) + state});
    if (!platform::isDevicePath(port.name) || (node != DeviceNode::Missing && node != DeviceNode::OtherFile)) {
        return;
    }
    const std::string fails = "Start fails with \"" + cantOpenMessage(port.name, Language::English) + "\"";
    add(file, kPortNameSetting, Severity::Warning,
        "serial port " + inQuotes(port.name) +
            (node == DeviceNode::Missing ? " names no device here: " + fails + " unless one is plugged in by then"
                                         : " is no character device: " + fails));
}

void PortChecks::checkHistoryMemory(const CsvFile& file, const PortOptions& port, std::size_t conditionCount) {
    const std::int32_t capacity = port.recordCapacity;
    const std::uint64_t bytes =
        ringMemory(capacity, port.maxRecordLength, static_cast<std::int32_t>(extraBlockSize(conditionCount)));
    if (bytes <= kLargeRingMemory) {
        return;
    }
    const std::string clamped = port.maxRecordLength > static_cast<std::int32_t>(kMaxFrameLength)
                                    ? "; a length above " + std::to_string(kMaxFrameLength) + " counts as " +
                                          std::to_string(kMaxFrameLength)
                                    : "";
    const std::string need = "the traffic history needs " + std::to_string(bytes) + " bytes (" +
                             std::to_string(capacity) + " records of " +
                             std::to_string(bytes / static_cast<std::uint64_t>(capacity)) + " bytes" + clamped +
                             ")";
    if (bytes > kDefaultRingMemoryLimit) {
        add(file, kRecordCapacitySetting.index, Severity::Error,
            need + ", more than the " + std::to_string(kDefaultRingMemoryLimit) +
                " bytes a history may take: Start fails; lower the number of traffic records or the "
                "largest record length, or raise the limit with orvalix-cli run --max-ring-memory");
    } else {
        add(file, kRecordCapacitySetting.index, Severity::Warning,
            need + ", and a run keeps it twice (the service's store and the traffic window)");
    }
}

void PortChecks::checkPort(const CsvFile& file, std::u16string_view environment, const CsvTable& rows,
                           const PortOptions& port) {
    if (!isUsable(port)) {
        if (rows.size() < 2) {
            findings_.push_back({file.path, 0, 0, Severity::Warning,
                                 "no port name on the second row: the environment gets no port and no traffic "
                                 "window"});
        } else {
            add(file, kPortNameSetting, Severity::Warning,
                "port " + inQuotes(port.name) +
                    " is not usable: it names no serial port (no \"COM\"), no HDLC channel (no \"FBIHDLC\" "
                    "prefix) and no local UDP endpoint host:port that resolves; the environment gets no "
                    "port and no traffic window");
        }
        return;
    }
    const PortKind kind = portKind(port);
    if (kind == PortKind::Serial && parseUdpEndpoint(port.name)) {
        add(file, kPortNameSetting, Severity::Warning,
            "port " + inQuotes(port.name) +
                " contains \"COM\", so it is a serial port, although it reads as a UDP endpoint");
    }
    checkPortInUse(file, environment, port);
    checkNumbers(file, rows, commonNumericSettings());
    if (port.recordCapacity < 1) {
        add(file, kRecordCapacitySetting.index, Severity::Error,
            "number of traffic records is " + std::to_string(port.recordCapacity) +
                ": the traffic history needs at least 1");
    }
    if (port.maxRecordLength < 1) {
        add(file, kMaxRecordLengthSetting.index, Severity::Error,
            "largest record length is " + std::to_string(port.maxRecordLength) + ": a record needs at least 1 byte");
    }
    if (const auto* serial = std::get_if<SerialOptions>(&port.kind)) {
        checkNumbers(file, rows, serialSettings().numbers);
        if (serial->bitRate < 1) {
            add(file, kSerialBitRateSetting.index, Severity::Warning,
                "bit rate is " + std::to_string(serial->bitRate) + ": the port cannot be opened");
        }
        checkKeywords(file, rows, serialSettings().keywords);
        checkCharacterTimeout(file, rows);
        checkSerialDevice(file, port, *serial);
    } else if (kind == PortKind::HdlcBoard) {
        checkNumbers(file, rows, hdlcSettings().numbers);
        checkKeywords(file, rows, hdlcSettings().keywords);
    } else if (const auto* udp = std::get_if<UdpOptions>(&port.kind)) {
        if (!udp->remoteText.empty() && !udp->remote) {
            add(file, kRemoteEndpointSetting, Severity::Warning,
                "remote endpoint " + inQuotes(udp->remoteText) +
                    " does not parse as host:port: replies go to the sender of the last datagram");
        }
    }
}

}  // namespace orvalix::cli
