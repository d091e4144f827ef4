#include "core/ports/port.hpp"

#include <utility>

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

std::string socketAddressText(const SocketAddress& address) {
    // The sockaddr_in image: the port from byte 2 and the address from byte 4, both in
    // network byte order, on every platform we build for.
    const auto& b = address.bytes;
    return std::to_string(b[4]) + '.' + std::to_string(b[5]) + '.' + std::to_string(b[6]) + '.' +
           std::to_string(b[7]) + ':' + std::to_string(b[2] << 8 | b[3]);
}

std::string cantOpenMessage(std::u16string_view portName, bool japanese) {
    if (japanese) {
        return toNarrow(std::u16string(portName) + u" を開けません。");
    }
    return toNarrow(u"Can't open " + std::u16string(portName));
}

namespace {

template <typename Port>
std::optional<OpenPort> wrap(std::optional<Port> port) {
    if (!port) {
        return std::nullopt;
    }
    return OpenPort(std::make_unique<OpenPort::Impl>(OpenPort::Impl{std::move(*port)}));
}

}  // namespace

std::optional<OpenPort> openPort(const PortSettings& settings, PortContext& context) {
    switch (portKind(settings)) {
        case PortKind::Serial:
            return wrap(openSerialPort(settings));
        case PortKind::HdlcBoard:
            if (!context.hdlcLibrary) {
                context.hdlcLibrary = std::make_shared<HdlcLibrary>();
            }
            return wrap(openHdlcPort(settings, context.hdlcLibrary));
        case PortKind::Udp:
            return wrap(openUdpPort(settings));
        case PortKind::Tcp:  // opened by openTcpPort once the settings give role, address and port
        case PortKind::None:
            break;
    }
    return std::nullopt;
}

void openAllPorts(const EnvironmentMap& environments, PortContext& context, std::vector<OpenedPort>& opened) {
    for (const auto& [name, environment] : environments) {
        if (!isUsable(environment.port)) {
            continue;
        }
        auto port = openPort(environment.port, context);
        if (!port) {
            throw PortOpenError(cantOpenMessage(portName(environment.port), context.japanese));
        }
        opened.push_back(OpenedPort{name, std::move(*port)});
    }
}

SocketAddress udpDestination(const SocketAddress& lastSender, const PortSettings& settings) {
    if (!settings.remoteEndpointValid) {
        return lastSender;
    }
    return ipv4SocketAddress(settings.remoteAddress, settings.remotePort);
}

}  // namespace orvalix
