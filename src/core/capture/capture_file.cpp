#include "core/capture/capture_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "core/capture/pcapng_blocks.hpp"
#include "core/project/record_access.hpp"
#include "core/text/text_conversion.hpp"
#include "core/traffic/extra_block.hpp"

namespace orvalix {
namespace {

// The reason of the stream operation that just failed; the streams keep none of their own.
std::error_code lastSystemError() {
    const int error = errno;
    return std::error_code(error != 0 ? error : EIO, std::generic_category());
}

std::uint16_t linkType(PortKind kind) {
    switch (kind) {
        case PortKind::Udp:
        case PortKind::Tcp: return pcapng::kLinkTypeIpv4;
        case PortKind::HdlcBoard: return pcapng::kLinkTypeUser1;
        default: return pcapng::kLinkTypeUser0;
    }
}

UdpEndpoint localEndpoint(const PortOptions& port) {
    if (const auto* udp = std::get_if<UdpOptions>(&port.kind)) {
        return udp->local;
    }
    if (const auto* tcp = std::get_if<TcpOptions>(&port.kind); tcp != nullptr && tcp->role == TcpRole::Server) {
        return tcp->endpoint;
    }
    return {};
}

void appendNames(std::string& text, std::string_view label, const std::vector<std::string>& names,
                 std::span<const std::uint8_t> extra,
                 bool (*bit)(std::span<const std::uint8_t>, std::size_t, std::size_t)) {
    bool first = true;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!bit(extra, names.size(), i)) {
            continue;
        }
        text += first ? std::string("; ") + std::string(label) + ": " : std::string(", ");
        text += names[i];
        first = false;
    }
}

}  // namespace

CaptureInterface captureInterface(std::u16string_view environment, const Environment& settings) {
    CaptureInterface interface{std::u16string(environment), toNarrow(environment), toNarrow(settings.port.name),
                               portKind(settings.port), localEndpoint(settings.port), {}, {}};
    for (const NamedCondition& condition : settings.namedConditions) {
        interface.conditionNames.push_back(toNarrow(name(condition)));
    }
    for (const FaultRule& rule : settings.faults) {
        interface.faultNames.push_back(toNarrow(rule.name));
    }
    return interface;
}

std::string recordComment(const CaptureInterface& interface, std::span<const std::uint8_t> extra) {
    char word[16] = {};
    std::snprintf(word, sizeof word, "%.8x", static_cast<unsigned>(attribute(extra)));
    std::string text = std::string("attribute ") + word;
    appendNames(text, "marks", interface.conditionNames, extra, markBit);
    appendNames(text, "triggers", interface.conditionNames, extra, triggerBit);
    if (const std::size_t number = faultNumber(attribute(extra)); number >= 1 && number <= interface.faultNames.size()) {
        text += "; fault: " + interface.faultNames[number - 1];
    }
    return text;
}

std::error_code CaptureFile::open(const std::filesystem::path& file, std::vector<CaptureInterface> interfaces) {
    close();
    errno = 0;
    file_.open(file, std::ios::binary | std::ios::trunc);
    if (!file_) {
        const std::error_code error = lastSystemError();
        file_ = std::ofstream{};
        return error;
    }
    path_ = file;
    interfaces_ = std::move(interfaces);
    sequences_.assign(interfaces_.size(), TcpSequences{});
    pcapng::appendSectionHeader(pending_, "Orvalix");
    for (const CaptureInterface& interface : interfaces_) {
        pcapng::appendInterfaceDescription(pending_, {linkType(interface.kind), interface.name, interface.description});
    }
    return flush();
}

void CaptureFile::close() {
    file_ = std::ofstream{};
    pending_.clear();
    interfaces_.clear();
    sequences_.clear();
}

std::size_t CaptureFile::interfaceOf(std::u16string_view environment) const {
    const auto found = std::find_if(interfaces_.begin(), interfaces_.end(),
                                    [environment](const CaptureInterface& i) { return i.environment == environment; });
    return static_cast<std::size_t>(found - interfaces_.begin());
}

void CaptureFile::addRecord(std::u16string_view environment, std::span<const std::uint8_t> data, std::uint64_t time,
                            std::span<const std::uint8_t> extra, UdpEndpoint peer) {
    const std::size_t index = interfaceOf(environment);
    if (!isOpen() || index == interfaces_.size()) {
        return;
    }
    const CaptureInterface& interface = interfaces_[index];
    const bool inbound = (attribute(extra) & kReceivedAttribute) != 0;
    const UdpEndpoint source = inbound ? peer : interface.local;
    const UdpEndpoint destination = inbound ? interface.local : peer;
    packet_.clear();
    if (interface.kind == PortKind::Udp) {
        appendIpv4UdpHeaders(packet_, source, destination, data.size());
    } else if (interface.kind == PortKind::Tcp) {
        const TcpNumbers numbers = sequences_[index].next(peer, inbound, data.size());
        appendIpv4TcpHeaders(packet_, source, destination, numbers, data.size());
    }
    packet_.insert(packet_.end(), data.begin(), data.end());
    const std::string comment = recordComment(interface, extra);
    pcapng::appendEnhancedPacket(pending_, {static_cast<std::uint32_t>(index), pcapng::unixTime100ns(time),
                                            packet_, inbound, comment});
}

void CaptureFile::addLost(std::u16string_view environment, std::uint64_t added, std::uint64_t total,
                          std::uint64_t time) {
    const std::size_t index = interfaceOf(environment);
    if (!isOpen() || index == interfaces_.size()) {
        return;
    }
    const std::string comment = std::to_string(added) + " records lost before the pump took them (" +
                                std::to_string(total) + " in all)";
    pcapng::appendInterfaceStatistics(pending_,
                                      {static_cast<std::uint32_t>(index), pcapng::unixTime100ns(time), total, comment});
}

std::error_code CaptureFile::flush() {
    if (!isOpen()) {
        return {};
    }
    errno = 0;
    file_.write(reinterpret_cast<const char*>(pending_.data()), static_cast<std::streamsize>(pending_.size()));
    file_.flush();
    pending_.clear();
    if (!file_) {
        const std::error_code error = lastSystemError();
        close();
        return error;
    }
    return {};
}

}  // namespace orvalix
