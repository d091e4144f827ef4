#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "core/expression/byte_buffer.hpp"
#include "core/platform/sockets_startup.hpp"
#include "core/ports/port.hpp"
#include "core/ports/udp_socket.hpp"
#include "port_test_support.hpp"

namespace orvalix {
namespace {

using test::kLoopback;

std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

class UdpPortTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sockets_.started()); }

    // A bound port of ours, and a peer socket standing in for the equipment.
    OpenPort openOn(const PortSettings& settings) {
        auto port = openPort(settings, context_);
        if (!port) {
            throw std::runtime_error("the UDP port did not open");
        }
        return std::move(*port);
    }

    static UdpSocket peer() {
        auto socket = UdpSocket::bind(kLoopback, 0);
        if (!socket) {
            throw std::runtime_error("no peer socket");
        }
        return std::move(*socket);
    }

    struct Received {
        std::size_t count = 0;
        std::vector<std::uint8_t> bytes;
        SocketAddress sender;
        friend bool operator==(const Received&, const Received&) = default;
    };

    Received readOnce(OpenPort& port) {
        Received result;
        std::uint32_t status = 0;
        result.count = port.read(buffer_, status, result.sender);
        result.bytes.assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(result.count));
        return result;
    }

    Received readArrived(OpenPort& port) {
        return test::readWhenArrived([&] { return readOnce(port); });
    }

    static std::vector<std::uint8_t> receiveArrived(UdpSocket& socket) {
        return test::readWhenArrived([&] {
            std::array<std::uint8_t, 64> bytes{};
            SocketAddress from;
            if (!socket.readable()) {
                return std::vector<std::uint8_t>{};
            }
            const auto count = socket.receive(bytes, from).value_or(0);
            return std::vector<std::uint8_t>(bytes.begin(),
                                             bytes.begin() + static_cast<std::ptrdiff_t>(count));
        });
    }

    platform::SocketsStartup sockets_;
    PortContext context_;
    std::array<std::uint8_t, kMaxFrameLength> buffer_{};
};

TEST_F(UdpPortTest, ReadWithNothingWaitingReturnsZeroAndKeepsTheSender) {
    OpenPort port = openOn(test::udpSettings(test::freeUdpPort()));
    EXPECT_EQ(port.kind(), PortKind::Udp);
    SocketAddress sender;
    sender.bytes.fill(0xAB);
    const SocketAddress before = sender;
    std::uint32_t status = 7;
    EXPECT_EQ(port.read(buffer_, status, sender), 0U);
    EXPECT_EQ(sender, before);
    EXPECT_EQ(status, 7U);
}

TEST_F(UdpPortTest, EachReadTakesOneDatagramAndRecordsItsSender) {
    const std::uint16_t localPort = test::freeUdpPort();
    OpenPort port = openOn(test::udpSettings(localPort));
    UdpSocket equipment = peer();
    const SocketAddress ours = ipv4SocketAddress(kLoopback, localPort);
    equipment.send(bytesOf("abc"), ours);
    equipment.send(bytesOf("defg"), ours);

    const SocketAddress equipmentAddress = ipv4SocketAddress(kLoopback, equipment.localPort());
    EXPECT_EQ(readArrived(port), (Received{3, bytesOf("abc"), equipmentAddress}));
    EXPECT_EQ(readArrived(port), (Received{4, bytesOf("defg"), equipmentAddress}));
    EXPECT_EQ(readOnce(port).count, 0U);
}

TEST_F(UdpPortTest, EmptyDatagramReadsAsZeroAndDoesNotHideTheNextOne) {
    const std::uint16_t localPort = test::freeUdpPort();
    OpenPort port = openOn(test::udpSettings(localPort));
    UdpSocket equipment = peer();
    const SocketAddress ours = ipv4SocketAddress(kLoopback, localPort);
    equipment.send({}, ours);
    equipment.send(bytesOf("x"), ours);

    // Reads until one delivers bytes: the empty datagram must read as 0, not as a frame.
    const Received next = test::readWhenArrived([&] {
        Received received = readOnce(port);
        return received.count > 0 ? received : Received{};
    });
    EXPECT_EQ(next.count, 1U);
    EXPECT_EQ(next.bytes, bytesOf("x"));
}

TEST_F(UdpPortTest, LongestDatagramFitsTheFrameBuffer) {
    const std::uint16_t localPort = test::freeUdpPort();
    OpenPort port = openOn(test::udpSettings(localPort));
    UdpSocket equipment = peer();
    std::vector<std::uint8_t> longest(kMaxFrameLength);
    for (std::size_t i = 0; i < longest.size(); ++i) {
        longest[i] = static_cast<std::uint8_t>(i * 7);
    }
    equipment.send(longest, ipv4SocketAddress(kLoopback, localPort));
    EXPECT_EQ(readArrived(port).bytes, longest);
}

TEST_F(UdpPortTest, ReplyWithoutRemoteEndpointGoesToTheLastSender) {
    const std::uint16_t localPort = test::freeUdpPort();
    const PortSettings settings = test::udpSettings(localPort);
    OpenPort port = openOn(settings);
    UdpSocket equipment = peer();
    equipment.send(bytesOf("ping"), ipv4SocketAddress(kLoopback, localPort));
    const Received request = readArrived(port);
    ASSERT_EQ(request.count, 4U);

    port.write(bytesOf("pong"), udpDestination(request.sender, settings));
    EXPECT_EQ(receiveArrived(equipment), bytesOf("pong"));
}

TEST_F(UdpPortTest, ConfiguredRemoteEndpointWinsOverTheSender) {
    const std::uint16_t localPort = test::freeUdpPort();
    UdpSocket equipment = peer();
    UdpSocket monitor = peer();
    const PortSettings settings = test::udpSettings(localPort, monitor.localPort());
    OpenPort port = openOn(settings);
    equipment.send(bytesOf("ping"), ipv4SocketAddress(kLoopback, localPort));
    const Received request = readArrived(port);
    ASSERT_EQ(request.count, 4U);

    port.write(bytesOf("pong"), udpDestination(request.sender, settings));
    EXPECT_EQ(receiveArrived(monitor), bytesOf("pong"));
}

TEST_F(UdpPortTest, SendToAClosedPortDoesNotDisturbLaterReads) {
    const std::uint16_t localPort = test::freeUdpPort();
    const std::uint16_t closedPort = test::freeUdpPort();
    OpenPort port = openOn(test::udpSettings(localPort));
    // Windows would report the ICMP port-unreachable as a failure of the next receive.
    port.write(bytesOf("nobody"), ipv4SocketAddress(kLoopback, closedPort));
    UdpSocket equipment = peer();
    equipment.send(bytesOf("still here"), ipv4SocketAddress(kLoopback, localPort));
    EXPECT_EQ(readArrived(port).bytes, bytesOf("still here"));
    EXPECT_EQ(readOnce(port).count, 0U);
}

TEST_F(UdpPortTest, WriteCompletesAtOnceAndEachCompletionIsTakenOnce) {
    OpenPort port = openOn(test::udpSettings(test::freeUdpPort()));
    UdpSocket sink = peer();
    const SocketAddress destination = ipv4SocketAddress(kLoopback, sink.localPort());
    EXPECT_TRUE(port.writeFinished());   // nothing sent yet
    EXPECT_FALSE(port.writeFinished());  // the completion was taken
    port.write(bytesOf("a"), destination);
    EXPECT_TRUE(port.writeFinished());
    port.write({}, destination);  // an empty frame is still a send
    EXPECT_TRUE(port.writeFinished());
    EXPECT_FALSE(port.writeFinished());
}

TEST(UdpDestination, RemoteEndpointWhenConfiguredElseTheLastSender) {
    SocketAddress lastSender;
    lastSender.bytes.fill(0x5A);
    PortSettings withoutRemote = test::udpSettings(5000);
    withoutRemote.remoteAddress = 0xC0A8000A;  // ignored while not valid
    withoutRemote.remotePort = 6000;
    PortSettings withRemote = withoutRemote;
    withRemote.remoteEndpointValid = true;

    EXPECT_EQ(udpDestination(lastSender, withoutRemote), lastSender);
    EXPECT_EQ(udpDestination(lastSender, withRemote), ipv4SocketAddress(0xC0A8000A, 6000));
    EXPECT_EQ(udpDestination(SocketAddress{}, withRemote), ipv4SocketAddress(0xC0A8000A, 6000));
}

TEST(UdpDestination, AddressImageIsNetworkOrderWithZeroTail) {
    const SocketAddress address = ipv4SocketAddress(0xC0A8000A, 6000);  // 192.168.0.10:6000
    const auto& b = address.bytes;
    EXPECT_EQ(b[0] | (b[1] << 8), 2);  // AF_INET, in the host's little-endian order
    const std::array<std::uint8_t, 14> rest{0x17, 0x70, 192, 168, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_TRUE(std::equal(rest.begin(), rest.end(), b.begin() + 2));
}

}  // namespace
}  // namespace orvalix
