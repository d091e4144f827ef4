#include "cli/record_line.hpp"

#include <array>
#include <cstdio>

#include "core/ports/port_options.hpp"
#include "core/project/record_access.hpp"
#include "core/text/text_conversion.hpp"
#include "core/traffic/extra_block.hpp"
#include "core/traffic/log_files.hpp"

namespace orvalix::cli {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void appendHexByte(std::string& text, std::uint8_t value) {
    text += kHexDigits[value >> 4];
    text += kHexDigits[value & 0x0F];
}

using ConditionBit = bool (*)(std::span<const std::uint8_t>, std::size_t, std::size_t);

std::vector<std::string> namesWithBit(const Environment& settings, std::span<const std::uint8_t> extra,
                                      ConditionBit bit) {
    const std::size_t count = settings.namedConditions.size();
    std::vector<std::string> names;
    for (std::size_t i = 0; i < count; ++i) {
        if (bit(extra, count, i)) {
            names.push_back(toNarrow(name(settings.namedConditions[i])));
        }
    }
    return names;
}

}  // namespace

std::vector<std::string> markedConditions(const Environment& settings, std::span<const std::uint8_t> extra) {
    return namesWithBit(settings, extra, markBit);
}

std::vector<std::string> triggeredConditions(const Environment& settings, std::span<const std::uint8_t> extra) {
    return namesWithBit(settings, extra, triggerBit);
}

std::string markNames(const Environment& settings, std::span<const std::uint8_t> extra) {
    std::string names;
    for (const std::string& marked : markedConditions(settings, extra)) {
        if (!names.empty()) {
            names += ", ";
        }
        names += marked;
    }
    return names;
}

void appendHex(std::string& text, std::span<const std::uint8_t> data) {
    for (const std::uint8_t byte : data) {
        appendHexByte(text, byte);
    }
}

std::string formatRecordLine(std::u16string_view environment, const Environment& settings,
                             std::span<const std::uint8_t> data, std::uint64_t time,
                             std::span<const std::uint8_t> extra) {
    const std::uint32_t word = attribute(extra);
    const std::string timeText = formatTimeNarrow(time);
    std::array<char, 32> numbers{};
    std::snprintf(numbers.data(), numbers.size(), " %zu %.8x", data.size(), static_cast<unsigned>(word));

    std::string line = toNarrow(environment);
    line += ' ';
    line += timeText.empty() ? "-" : timeText;
    line += (word & kReceivedAttribute) != 0 ? " RX" : " TX";
    line += numbers.data();
    for (const std::uint8_t byte : data) {
        line += ' ';
        appendHexByte(line, byte);
    }
    if (const std::string marks = markNames(settings, extra); !marks.empty()) {
        line += " marks: ";
        line += marks;
    }
    if (const std::string fault = faultNameOfRecord(settings.faults, word); !fault.empty()) {
        line += " fault: ";
        line += fault;
    }
    return line;
}

std::string describePort(const PortOptions& port) {
    const std::string name = toNarrow(port.name);
    switch (portKind(port)) {
        case PortKind::Serial: return "serial " + name;
        case PortKind::HdlcBoard: return "HDLC board " + name;
        case PortKind::Udp: {
            // The remote endpoint, when there is one, tells where frames go.
            const auto& udp = std::get<UdpOptions>(port.kind);
            return udp.remote ? "UDP " + name + " -> " + toNarrow(udp.remoteText) : "UDP " + name;
        }
        case PortKind::Tcp: return name;  // tcp-server://... or tcp-client://... says it all
        case PortKind::None: break;
    }
    return "not usable " + name;
}

std::string displayPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace orvalix::cli
