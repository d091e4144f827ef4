#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/bytes/byte_buffer.hpp"
#include "core/platform/sockets_startup.hpp"
#include "core/ports/port.hpp"
#include "core/ports/udp_socket.hpp"
#include "port_test_support.hpp"

namespace orvalix {
namespace {

using test::Bytes;
using test::bytesOf;
using test::kLoopback;

using Ports = std::vector<PortToOpen>;

class UdpPortTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sockets_.started()); }
    // A socket standing in for the equipment.
    static UdpSocket peer() { return UdpSocket::bind(kLoopback, 0).opened.value(); }

    // The next datagram with bytes; empty ones must read as 0 on the way.
    Bytes readArrived(OpenPort& port, SocketAddress& sender) {
        std::size_t count = 0;
        std::uint32_t status = 0;
        test::eventually([&] { return (count = port.read(buffer_, status, sender)) > 0; });
        return {buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(count)};
    }

    std::vector<std::u16string> openedNames() const {
        std::vector<std::u16string> names;
        for (const OpenedPort& port : opened_) names.push_back(port.environmentName);
        return names;
    }

    platform::SocketsStartup sockets_;
    PortContext context_;
    std::array<std::uint8_t, kMaxFrameLength> buffer_{};
    std::vector<OpenedPort> opened_;
};

// Sends complete at once. Windows would report the ICMP port-unreachable of a send nobody
// takes as a failure of the next receive.
TEST_F(UdpPortTest, EachReadTakesOneDatagramAndItsSenderEvenAfterSendsNobodyTook) {
    const std::uint16_t localPort = test::freeUdpPort();
    OpenPort port = openPort(test::udpSettings(localPort), context_).opened.value();
    EXPECT_EQ(port.kind(), PortKind::Udp);
    EXPECT_TRUE(port.writeFinished()) << "free before the first send";
    for (const Bytes& frame : {bytesOf("nobody"), Bytes{}}) {
        EXPECT_FALSE(port.writeFinished()) << "the answer consumed the completion";
        port.write(frame, ipv4SocketAddress(kLoopback, test::freeUdpPort()));
        EXPECT_TRUE(port.writeFinished());
    }
    UdpSocket equipment = peer();
    const Bytes longest = test::pattern(kMaxFrameLength, 1);
    const SocketAddress ours = ipv4SocketAddress(kLoopback, localPort);
    for (const Bytes& datagram : {bytesOf("abc"), Bytes{}, longest}) equipment.send(datagram, ours);
    SocketAddress sender;
    EXPECT_EQ(readArrived(port, sender), bytesOf("abc"));
    EXPECT_EQ(sender, ipv4SocketAddress(kLoopback, equipment.localPort())) << "the image the system fills";
    EXPECT_EQ(readArrived(port, sender), longest);

    sender.bytes.fill(0xAB);
    const SocketAddress before = sender;
    std::uint32_t status = 7;
    EXPECT_EQ(port.read(buffer_, status, sender), 0U);
    EXPECT_TRUE(sender == before && status == 7U) << "reading nothing leaves sender and status alone";
}

// Linux counts the datagrams a full receive buffer turned away and hands the count over with
// the next datagram it keeps; Winsock counts none.
TEST_F(UdpPortTest, DatagramsTheSystemDroppedAreCountedWithTheNextOneRead) {
#ifndef __linux__
    GTEST_SKIP() << "only Linux counts the datagrams it drops";
#endif
    const std::uint16_t localPort = test::freeUdpPort();
    OpenPort port = openPort(test::udpSettings(localPort), context_).opened.value();
    EXPECT_EQ(port.health(), PortHealth{});
    UdpSocket equipment = peer();
    const SocketAddress ours = ipv4SocketAddress(kLoopback, localPort);
    // The receive buffer (some 200 KiB) holds a few hundred small datagrams; nobody reads meanwhile.
    constexpr std::size_t kSent = 5000;
    for (std::size_t n = 0; n < kSent; ++n) equipment.send(bytesOf("x"), ours);
    std::size_t kept = 0;
    SocketAddress sender;
    std::uint32_t status = 0;
    while (port.read(buffer_, status, sender) > 0) ++kept;
    // Those kept came before the drops; the count rides on the next datagram that finds room.
    equipment.send(bytesOf("last"), ours);
    Bytes got;
    while ((got = readArrived(port, sender)) == bytesOf("x")) ++kept;  // late ones, should the system lag
    EXPECT_EQ(got, bytesOf("last"));
    const std::uint32_t dropped = port.health().droppedDatagrams;
    EXPECT_GT(dropped, 0u) << kept << " kept";
    EXPECT_LE(dropped, kSent - kept);
    EXPECT_EQ(port.health().lostError, 0u) << "a socket is never lost";
}

// A port or address in the wrong byte order would miss the socket.
TEST_F(UdpPortTest, ReplyGoesToTheConfiguredRemoteEndpointElseTheLastSender) {
    for (const bool remoteConfigured : {false, true}) {
        const std::uint16_t localPort = test::freeUdpPort();
        UdpSocket equipment = peer(), monitor = peer();
        const auto remote = remoteConfigured ? std::optional(monitor.localPort()) : std::nullopt;
        const PortOptions settings = test::udpSettings(localPort, remote);
        OpenPort port = openPort(settings, context_).opened.value();
        equipment.send(bytesOf("ping"), ipv4SocketAddress(kLoopback, localPort));
        SocketAddress sender;
        ASSERT_EQ(readArrived(port, sender), bytesOf("ping"));
        port.write(bytesOf("pong"), udpDestination(sender, settings));
        UdpSocket& receiver = remoteConfigured ? monitor : equipment;
        std::array<std::uint8_t, 8> bytes{};
        std::size_t count = 0;
        test::eventually([&] {
            return receiver.readable() && (count = receiver.receive(bytes, sender).value_or(0)) > 0;
        });
        EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count)), bytesOf("pong"))
            << remoteConfigured;
    }
}

// The service lists them in name order.
TEST_F(UdpPortTest, OpensUsablePortsInListOrderAfterEarlierEntriesAndSkipsTheRest) {
    openAllPorts(Ports{{u"X", test::udpSettings(test::freeUdpPort())}}, context_, opened_);
    openAllPorts(Ports{{u"B", test::udpSettings(test::freeUdpPort())},
                       {u"A", test::udpSettings(test::freeUdpPort())},
                       {u"C", test::settingsOf({u""})},             // no endpoint
                       {u"D", test::settingsOf({u"localhost"})}},  // did not parse
                 context_, opened_);
    EXPECT_EQ(openedNames(), (std::vector<std::u16string>{u"X", u"B", u"A"}));
    EXPECT_FALSE(context_.hdlcLibrary) << "no board library is loaded for other kinds";
}

TEST_F(UdpPortTest, PortInUseStopsTheOpeningWithTheCantOpenText) {
    const UdpSocket holder = UdpSocket::bind(test::kLoopback, 0).opened.value();
    const std::uint16_t laterPort = test::freeUdpPort();
    const Ports environments{{u"1 first", test::udpSettings(test::freeUdpPort())},
                             {u"2 busy", test::udpSettings(holder.localPort())},
                             {u"3 later", test::udpSettings(laterPort)}};
    const std::string endpoint = "127.0.0.1:" + std::to_string(holder.localPort());
    for (const Language language : {Language::English, Language::Japanese}) {
        context_.language = language;
        opened_.clear();
        try {
            openAllPorts(environments, context_, opened_);
            ADD_FAILURE() << "a port in use opened";
        } catch (const PortOpenError& error) {
            // The system's reason follows on a line of its own.
            const std::string firstLine =
                (language == Language::Japanese ? endpoint + " を開けません。" : "Can't open " + endpoint) +
                "\n";
            const std::string text = error.what();
            EXPECT_TRUE(text.starts_with(firstLine) && text.size() > firstLine.size()) << text;
        }
        // The port before stays open for the service to close; the one after was not tried.
        EXPECT_EQ(openedNames(), std::vector<std::u16string>{u"1 first"});
        EXPECT_TRUE(UdpSocket::bind(test::kLoopback, laterPort).opened.has_value());
    }
}

}  // namespace
}  // namespace orvalix
