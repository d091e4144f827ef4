// The TCP port on loopback: a server serving one client at a time, a client that comes back
// after its server went away (on a clock the test steps), and frames that find no peer.

#include "core/ports/tcp_port.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "core/platform/error_text.hpp"
#include "core/platform/sockets_startup.hpp"
#include "core/ports/udp_socket.hpp"
#include "port_test_support.hpp"

namespace orvalix {
namespace {

using test::acceptFrom;
using test::Bytes;
using test::bytesOf;
using test::connectTo;
using test::eventually;
using test::kLoopback;
using test::receive;

class TcpPortTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sockets_.started()); }

    static TcpPort server() {
        std::uint32_t error = 0;
        std::optional<TcpPort> port = TcpPort::listen(kLoopback, 0, error);
        EXPECT_EQ(error, 0u) << platform::systemErrorText(error);
        return std::move(port).value();
    }

    // Reads the port until `length` bytes came; sender is the last one read.
    Bytes readFrom(TcpPort& port, std::size_t length, SocketAddress& sender) {
        Bytes got;
        std::uint32_t status = 0;
        eventually([&] {
            const std::size_t count = port.read(buffer_, status, sender);
            got.insert(got.end(), buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(count));
            return got.size() >= length;
        });
        EXPECT_EQ(status, 0u) << "a stream has no line errors";
        return got;
    }

    // Reads the port until the condition on its connections holds.
    bool readUntil(TcpPort& port, bool (*done)(const ConnectionHealth&)) {
        std::uint32_t status = 0;
        SocketAddress sender;
        return eventually([&] {
            port.read(buffer_, status, sender);
            return done(port.health().connections);
        });
    }

    platform::SocketsStartup sockets_;
    std::array<std::uint8_t, kMaxFrameLength> buffer_{};
};

TEST(SocketAddressText, GivesTheAddressAndPortInTheOrderPeopleWriteThem) {
    const struct {
        std::uint32_t address;
        std::uint16_t port;
        const char* text;
    } cases[] = {{kLoopback, 50344, "127.0.0.1:50344"}, {0xC0A80A01, 502, "192.168.10.1:502"}, {0, 0, "0.0.0.0:0"}};
    for (const auto& c : cases) {
        EXPECT_EQ(socketAddressText(ipv4SocketAddress(c.address, c.port)), c.text);
    }
}

// The second client's connection completes in the backlog and keeps what it sent until the
// first has gone; the first going away is counted as a close, not as a failure.
TEST_F(TcpPortTest, AServerServesOneClientAtATimeAndTakesTheNextWhenItCloses) {
    TcpPort port = server();
    std::optional<TcpConnection> first = connectTo(port.localPort());
    TcpConnection second = connectTo(port.localPort());
    ASSERT_EQ(first->send(bytesOf("one")).status, TcpSendStatus::Complete);
    ASSERT_EQ(second.send(bytesOf("two")).status, TcpSendStatus::Complete);

    SocketAddress sender;
    EXPECT_EQ(readFrom(port, 3, sender), bytesOf("one"));
    const ConnectionHealth served = port.health().connections;
    EXPECT_EQ(served.opened, 1u);
    EXPECT_TRUE(served.connected());
    EXPECT_EQ(sender, served.peer(1)) << "the sender is the peer";
    EXPECT_TRUE(socketAddressText(served.peer(1)).starts_with("127.0.0.1:"));
    port.write(bytesOf("to first"), {});
    EXPECT_EQ(receive(*first, 8), bytesOf("to first"));

    first.reset();
    EXPECT_EQ(readFrom(port, 3, sender), bytesOf("two")) << "nothing of the second before the first closed";
    const ConnectionHealth next = port.health().connections;
    EXPECT_EQ(next.opened, 2u);
    EXPECT_EQ(next.closed, 1u);
    EXPECT_EQ(next.failureRuns, 0u) << "a peer that closes is no failure";
    EXPECT_EQ(sender, next.peer(2));
    EXPECT_NE(next.peer(2), next.peer(1));
    port.write(bytesOf("to second"), {});
    EXPECT_EQ(receive(second, 9), bytesOf("to second"));
}

// The clock stands still unless the test moves it, so "a second later" needs no waiting.
TEST_F(TcpPortTest, AClientComesBackASecondAfterItsServerWentAwayAndCameBack) {
    std::optional<TcpListener> listener = TcpListener::open(kLoopback, 0).listener.value();
    const std::uint16_t where = listener->localPort();
    std::int64_t now = 0;
    TcpPort port = TcpPort::connect(kLoopback, where, [&now] { return now; });
    ASSERT_TRUE(readUntil(port, [](const ConnectionHealth& c) { return c.opened == 1; }));
    EXPECT_EQ(port.health().connections.peer(1), ipv4SocketAddress(kLoopback, where));
    std::optional<TcpConnection> served = acceptFrom(*listener);

    served.reset();
    listener.reset();
    ASSERT_TRUE(readUntil(port, [](const ConnectionHealth& c) { return c.closed == 1; }));
    for (const std::int64_t step : {0, 999}) {
        now += step;
        std::uint32_t status = 0;
        SocketAddress sender;
        for (int i = 0; i < 20; ++i) port.read(buffer_, status, sender);
        EXPECT_EQ(port.health().connections.failedAttempts, 0u) << "no attempt before a second has passed";
    }
    now += 1;
    ASSERT_TRUE(readUntil(port, [](const ConnectionHealth& c) { return c.failedAttempts == 1; }));
    now += 1000;
    ASSERT_TRUE(readUntil(port, [](const ConnectionHealth& c) { return c.failedAttempts == 2; }));
    const ConnectionHealth refused = port.health().connections;
    EXPECT_EQ(refused.failureRuns, 1u) << "one run of failures for the same reason";
    EXPECT_EQ(refused.failureError, test::kRefused) << platform::systemErrorText(refused.failureError);

    listener = TcpListener::open(kLoopback, where).listener.value();
    now += 1000;
    ASSERT_TRUE(readUntil(port, [](const ConnectionHealth& c) { return c.opened == 2; }));
    served = acceptFrom(*listener);
    port.write(bytesOf("back"), {});
    EXPECT_EQ(receive(*served, 4), bytesOf("back"));
    SocketAddress sender;
    ASSERT_EQ(served->send(bytesOf("hello")).status, TcpSendStatus::Complete);
    EXPECT_EQ(readFrom(port, 5, sender), bytesOf("hello"));
    EXPECT_EQ(port.health().connections.failureRuns, 1u);
}

TEST_F(TcpPortTest, AFrameWithNoPeerToGoToIsDroppedAndCounted) {
    std::int64_t now = 0;
    const std::uint16_t nobodyListens = server().localPort();
    TcpPort listening = server();
    TcpPort refused = TcpPort::connect(kLoopback, nobodyListens, [&now] { return now; });
    ASSERT_TRUE(readUntil(refused, [](const ConnectionHealth& c) { return c.failedAttempts == 1; }));
    for (TcpPort* port : {&listening, &refused}) {
        EXPECT_TRUE(port->writeFinished());
        for (const std::uint32_t dropped : {1u, 2u}) {
            port->write(bytesOf("nobody"), {});
            EXPECT_TRUE(port->writeFinished()) << "the next frame need not wait";
            EXPECT_EQ(port->health().connections.droppedSends, dropped);
        }
    }
}

// A peer that does not read fills the system's buffers: the rest of a frame waits in the
// port, the next frame waits for it, and every frame arrives whole and in order.
TEST_F(TcpPortTest, WhatThePeerCannotTakeYetHoldsTheNextFrameBack) {
    TcpPort port = server();
    TcpConnection peer = connectTo(port.localPort());
    ASSERT_TRUE(readUntil(port, [](const ConnectionHealth& c) { return c.opened == 1; }));
    std::size_t frames = 0;
    while (frames < 4096 && port.writeFinished()) {
        port.write(test::pattern(kMaxFrameLength, static_cast<std::uint8_t>(frames)), {});
        ++frames;
    }
    ASSERT_LT(frames, 4096u) << "the buffers never filled";
    EXPECT_EQ(port.health().connections.droppedSends, 0u);

    Bytes stream;
    std::array<std::uint8_t, 65536> buffer{};
    SocketAddress sender;
    std::uint32_t status = 0;
    eventually([&] {
        port.read(buffer_, status, sender);  // hands the rest on
        const TcpReceiveResult got = peer.receive(buffer);
        stream.insert(stream.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got.count));
        return stream.size() >= frames * kMaxFrameLength;
    });
    EXPECT_TRUE(port.writeFinished());
    test::expectFramesInOrder(stream, frames);
}

TEST_F(TcpPortTest, OpensAsAPortOfItsOwnKindAndAServerFailsOnAPortInUse) {
    const TcpPort holder = server();
    std::uint32_t error = 0;
    EXPECT_FALSE(TcpPort::listen(kLoopback, holder.localPort(), error));
    EXPECT_NE(error, 0u);
    EXPECT_NE(openTcpPort(TcpRole::Server, kLoopback, holder.localPort()).error, 0u) << "the reason comes along";
    EXPECT_EQ(openTcpPort(TcpRole::Server, kLoopback, 0).opened.value().kind(), PortKind::Tcp);
    EXPECT_EQ(openTcpPort(TcpRole::Client, kLoopback, holder.localPort()).opened.value().kind(), PortKind::Tcp);
}

}  // namespace
}  // namespace orvalix
