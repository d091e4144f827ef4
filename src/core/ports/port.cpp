#include "core/ports/port.hpp"

#include <utility>

#include "core/platform/error_text.hpp"
#include "core/ports/hdlc_library.hpp"
#include "core/ports/port_impl.hpp"
#include "core/ports/udp_socket.hpp"
#include "core/text/text_conversion.hpp"

namespace orvalix {

OpenPort::OpenPort(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
OpenPort::OpenPort(OpenPort&&) noexcept = default;
OpenPort& OpenPort::operator=(OpenPort&&) noexcept = default;
OpenPort::~OpenPort() = default;

PortKind OpenPort::kind() const {
    return std::visit([](const auto& port) { return port.kind(); }, impl_->port);
}

std::size_t OpenPort::read(std::span<std::uint8_t> buffer, std::uint32_t& status, SocketAddress& sender) {
    return std::visit([&](auto& port) { return port.read(buffer, status, sender); }, impl_->port);
}

void OpenPort::write(std::span<const std::uint8_t> data, const SocketAddress& destination) {
    std::visit([&](auto& port) { port.write(data, destination); }, impl_->port);
}

bool OpenPort::writeFinished() {
    return std::visit([](auto& port) { return port.writeFinished(); }, impl_->port);
}

PortHealth OpenPort::health() const {
    return std::visit([](const auto& port) { return port.health(); }, impl_->port);
}

platform::WaitSource OpenPort::waitSource() const {
    return std::visit([](const auto& port) { return port.waitSource(); }, impl_->port);
}

std::string socketAddressText(const SocketAddress& address) {
    // The sockaddr_in image: the port from byte 2 and the address from byte 4, both in
    // network byte order, on every platform we build for.
    const auto& b = address.bytes;
    return std::to_string(b[4]) + '.' + std::to_string(b[5]) + '.' + std::to_string(b[6]) + '.' +
           std::to_string(b[7]) + ':' + std::to_string(b[2] << 8 | b[3]);
}

UdpEndpoint socketEndpoint(const SocketAddress& address) {
    const auto& b = address.bytes;
    return UdpEndpoint{static_cast<std::uint32_t>(b[4]) << 24 | static_cast<std::uint32_t>(b[5]) << 16 |
                           static_cast<std::uint32_t>(b[6]) << 8 | b[7],
                       static_cast<std::uint16_t>(b[2] << 8 | b[3])};
}

std::string cantOpenMessage(std::u16string_view portName, Language language) {
    if (language == Language::Japanese) {
        return toNarrow(std::u16string(portName) + u" を開けません。");
    }
    return toNarrow(u"Can't open " + std::u16string(portName));
}

namespace {

template <typename Port>
Opening<OpenPort> wrap(Opening<Port> opening) {
    if (!opening.opened) {
        return {std::nullopt, opening.error};
    }
    return {OpenPort(std::make_unique<OpenPort::Impl>(OpenPort::Impl{std::move(*opening.opened)})), 0};
}

template <typename Port>
Opening<OpenPort> wrap(std::optional<Port> port) {
    return wrap(Opening<Port>{std::move(port), 0});
}

// The "Can't open" line, and the system's reason on a line of its own when there is one.
std::string openFailureText(std::u16string_view portName, std::uint32_t error, Language language) {
    std::string text = cantOpenMessage(portName, language);
    if (error != 0) {
        text += "\n" + platform::systemErrorText(error);
    }
    return text;
}

}  // namespace

Opening<OpenPort> openPort(const PortOptions& options, PortContext& context) {
    return std::visit(
        [&](const auto& kind) -> Opening<OpenPort> {
            using Kind = std::decay_t<decltype(kind)>;
            if constexpr (std::is_same_v<Kind, SerialOptions>) {
                return wrap(openSerialPort(kind));
            } else if constexpr (std::is_same_v<Kind, HdlcOptions>) {
                if (!context.hdlcLibrary) {
                    context.hdlcLibrary = std::make_shared<HdlcLibrary>();
                }
                return wrap(openHdlcPort(options.name, kind, context.hdlcLibrary));
            } else if constexpr (std::is_same_v<Kind, UdpOptions>) {
                return wrap(openUdpPort(kind));
            } else if constexpr (std::is_same_v<Kind, TcpOptions>) {
                return openTcpPort(kind.role, kind.endpoint.address, kind.endpoint.port);
            } else {
                static_assert(std::is_same_v<Kind, NoPortOptions>, "a kind of port that nothing opens");
                return {};
            }
        },
        options.kind);
}

void openAllPorts(std::span<const PortToOpen> ports, PortContext& context, std::vector<OpenedPort>& opened) {
    for (const PortToOpen& entry : ports) {
        if (!isUsable(entry.options)) {
            continue;
        }
        Opening<OpenPort> port = openPort(entry.options, context);
        if (!port.opened) {
            throw PortOpenError(openFailureText(entry.options.name, port.error, context.language));
        }
        opened.push_back(OpenedPort{entry.environmentName, std::move(*port.opened)});
    }
}

SocketAddress udpDestination(const SocketAddress& lastSender, const PortOptions& options) {
    const auto* udp = std::get_if<UdpOptions>(&options.kind);
    if (udp == nullptr || !udp->remote) {
        return lastSender;
    }
    return ipv4SocketAddress(udp->remote->address, udp->remote->port);
}

}  // namespace orvalix
