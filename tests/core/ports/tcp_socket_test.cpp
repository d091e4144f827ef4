// The non-blocking TCP sockets on loopback: a listener and a connector meet, and each side
// sees the other's bytes, its close and its absence as the system reports them.

#include "core/ports/tcp_socket.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
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

using test::Bytes;
using test::bytesOf;
using test::eventually;
using test::kLoopback;

using test::acceptFrom;
using test::receive;

// The system's number, as the sockets report it.
#ifdef _WIN32
constexpr std::uint32_t kAddressInUse = 10048;  // WSAEADDRINUSE
#else
constexpr std::uint32_t kAddressInUse = EADDRINUSE;
#endif

std::uint16_t portOf(const SocketAddress& address) {
    return static_cast<std::uint16_t>(address.bytes[2] << 8 | address.bytes[3]);
}

class TcpSocketTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sockets_.started()); }

    static TcpListener listener() { return TcpListener::open(kLoopback, 0).listener.value(); }
    static TcpConnection connectTo(const TcpListener& server) { return test::connectTo(server.localPort()); }

    platform::SocketsStartup sockets_;
};

TEST_F(TcpSocketTest, BytesGoBothWaysAndEachSideKnowsItsPeer) {
    TcpListener server = listener();
    EXPECT_NE(server.localPort(), 0);
    EXPECT_FALSE(server.accept().connection) << "nobody waits yet";
    TcpConnection client = connectTo(server);
    TcpConnection served = acceptFrom(server);
    EXPECT_EQ(client.peer(), ipv4SocketAddress(kLoopback, server.localPort()));
    EXPECT_EQ(served.peer(), ipv4SocketAddress(kLoopback, portOf(served.peer())));
    EXPECT_NE(portOf(served.peer()), server.localPort()) << "the client's own port";

    std::array<std::uint8_t, 8> buffer{};
    EXPECT_EQ(served.receive(buffer).status, TcpReceiveStatus::WouldBlock);
    struct Case {
        const char* rule;
        TcpConnection& from;
        TcpConnection& to;
    };
    for (const Case& c : {Case{"the client's request reaches the server", client, served},
                          Case{"the server's reply reaches the client", served, client}}) {
        const TcpSendResult sent = c.from.send(bytesOf(c.rule));
        EXPECT_EQ(sent.status, TcpSendStatus::Complete) << c.rule;
        EXPECT_EQ(sent.sent, std::string(c.rule).size()) << c.rule;
        EXPECT_EQ(receive(c.to, sent.sent), bytesOf(c.rule));
    }
}

// A close is a normal end, not an error; sending to a closed peer then fails without a
// signal that would end the process.
TEST_F(TcpSocketTest, APeerThatClosesIsReportedClosedAfterItsLastBytes) {
    for (const bool clientCloses : {true, false}) {
        SCOPED_TRACE(clientCloses ? "the client closes" : "the server closes");
        TcpListener server = listener();
        std::optional<TcpConnection> client = connectTo(server);
        std::optional<TcpConnection> served = acceptFrom(server);
        std::optional<TcpConnection>& closing = clientCloses ? client : served;
        TcpConnection& staying = clientCloses ? *served : *client;
        EXPECT_EQ(closing->send(bytesOf("bye")).status, TcpSendStatus::Complete);
        closing.reset();

        EXPECT_EQ(receive(staying, 100), bytesOf("bye"));
        std::array<std::uint8_t, 8> buffer{};
        const TcpReceiveResult end = staying.receive(buffer);
        EXPECT_EQ(end.status, TcpReceiveStatus::Closed);
        EXPECT_EQ(end.error, 0u);
        TcpSendResult sent;
        EXPECT_TRUE(
            eventually([&] { return (sent = staying.send(bytesOf("x"))).status == TcpSendStatus::Failed; }));
        EXPECT_NE(sent.error, 0u);
    }
}

// Connecting where nobody listens, and listening on a port in use.
TEST_F(TcpSocketTest, AConnectionOrAListenerTheSystemRefusesComesWithItsReason) {
    const std::uint16_t closedPort = listener().localPort();
    const TcpConnectProgress progress = test::finishedAttempt(closedPort);
    EXPECT_EQ(progress.status, TcpConnectStatus::Failed);
    EXPECT_EQ(progress.error, test::kRefused) << platform::systemErrorText(progress.error);
    EXPECT_FALSE(progress.connection);

    const TcpListener holder = listener();
    const TcpListener::Opened second = TcpListener::open(kLoopback, holder.localPort());
    EXPECT_FALSE(second.listener);
    EXPECT_EQ(second.error, kAddressInUse) << platform::systemErrorText(second.error);
}

// The server's side of a connection it closed first lingers on the port for minutes.
TEST_F(TcpSocketTest, ARestartedServerListensAgainAtOnce) {
    std::optional<TcpListener> server = listener();
    const std::uint16_t port = server->localPort();
    {
        TcpConnection client = connectTo(*server);
        std::optional<TcpConnection> served = acceptFrom(*server);
        served.reset();
        receive(client, 1);
    }
    server.reset();
    const TcpListener::Opened again = TcpListener::open(kLoopback, port);
    EXPECT_TRUE(again.listener) << platform::systemErrorText(again.error);
}

// The system's buffers fill while the peer does not read: the rest of the frame they could
// not take waits in the connection, a further frame is refused as busy, and once the peer
// reads, the stream holds every frame taken, whole and in order.
TEST_F(TcpSocketTest, WhatTheSystemCannotTakeYetWaitsAndGoesOutInOrder) {
    TcpListener server = listener();
    TcpConnection client = connectTo(server);
    TcpConnection served = acceptFrom(server);
    const auto frame = [](std::size_t n) { return test::pattern(kMaxFrameLength, static_cast<std::uint8_t>(n)); };

    constexpr std::size_t kMostFrames = 4096;  // far beyond any loopback buffer
    std::size_t frames = 0;
    TcpSendResult result;
    while (frames < kMostFrames && (result = client.send(frame(frames))).status == TcpSendStatus::Complete) {
        ++frames;
    }
    ASSERT_EQ(result.status, TcpSendStatus::Pending);
    EXPECT_EQ(result.sent + client.pendingBytes(), kMaxFrameLength);
    ++frames;
    const TcpSendResult busy = client.send(frame(frames));
    EXPECT_EQ(busy.status, TcpSendStatus::Busy);
    EXPECT_EQ(busy.sent, 0u);

    Bytes stream;
    Bytes buffer(65536);
    eventually([&] {
        client.flush();
        const TcpReceiveResult got = served.receive(buffer);
        stream.insert(stream.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got.count));
        return stream.size() >= frames * kMaxFrameLength;
    });
    EXPECT_EQ(client.flush().status, TcpSendStatus::Complete);
    EXPECT_EQ(client.pendingBytes(), 0u);
    test::expectFramesInOrder(stream, frames);
    EXPECT_EQ(served.receive(buffer).status, TcpReceiveStatus::WouldBlock) << "nothing twice";
}

}  // namespace
}  // namespace orvalix
