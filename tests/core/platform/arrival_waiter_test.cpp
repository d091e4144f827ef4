// The waiter on a timer, events and loopback sockets of the ports' own kinds: what each wait
// reports, on Linux (epoll) and on Windows (socket events, 64 handles a wait).

#include "core/platform/arrival_waiter.hpp"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "core/platform/event.hpp"
#include "core/platform/periodic_timer.hpp"
#include "core/platform/sockets_startup.hpp"
#include "core/ports/tcp_socket.hpp"
#include "core/ports/udp_socket.hpp"
#include "../../support/allocation_count.hpp"

namespace orvalix::platform {
namespace {

using test::allocations;
using test::counting;

using namespace std::chrono_literals;
using Sources = std::vector<std::size_t>;

constexpr std::uint32_t kLoopback = 0x7F000001;
constexpr std::chrono::milliseconds kGenerous = 2s;
// For waits that must report nothing: what they would report is there long before (a loopback
// datagram is readable before sendTo returns).
constexpr std::chrono::milliseconds kQuiet = 10ms;

template <typename Done>
bool eventually(Done done) {
    const auto giveUp = std::chrono::steady_clock::now() + kGenerous;
    while (!done()) {
        if (std::chrono::steady_clock::now() > giveUp) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

Sources readyOf(const Wakeup& wakeup) {
    return {wakeup.ready.begin(), wakeup.ready.end()};
}

class ArrivalWaiterTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sockets_.started());
        ASSERT_TRUE(quietTimer_.wait(kGenerous)) << "the first expiry is immediate";
    }

    static UdpSocket udp() { return UdpSocket::bind(kLoopback, 0).opened.value(); }

    // A datagram to the socket, there to be read when this returns.
    void sendTo(UdpSocket& socket) {
        const std::array<std::uint8_t, 3> bytes{1, 2, 3};
        sender_.send(bytes, ipv4SocketAddress(kLoopback, socket.localPort()));
        ASSERT_TRUE(eventually([&] { return socket.readable(); }));
    }

    static void drain(UdpSocket& socket) {
        std::array<std::uint8_t, 16> buffer{};
        SocketAddress from;
        while (socket.readable()) {
            ASSERT_TRUE(socket.receive(buffer, from));
        }
    }

    // The sources reported once those that should be have had time to show: the system may
    // signal a socket a moment after a look at it found it readable.
    static Sources settledReady(ArrivalWaiter& waiter, const Sources& expected) {
        Sources ready;
        eventually([&] { return (ready = readyOf(waiter.wait(kGenerous, std::nullopt))) == expected; });
        return ready;
    }

    static void expectQuiet(ArrivalWaiter& waiter) {
        const Wakeup wakeup = waiter.wait(kQuiet, std::nullopt);
        EXPECT_FALSE(wakeup.tick);
        EXPECT_FALSE(wakeup.deadline);
        EXPECT_EQ(readyOf(wakeup), Sources{});
    }

    SocketsStartup sockets_;
    PeriodicTimer quietTimer_{std::chrono::hours(1)};  // its only expiry is taken in SetUp
    UdpSocket sender_ = udp();
};

TEST_F(ArrivalWaiterTest, AWatchedSocketWithDataIsReportedAtEveryWaitUntilRead) {
    ArrivalWaiter waiter(quietTimer_.nativeHandle(), 3);
    UdpSocket watched = udp();
    UdpSocket unwatched = udp();
    UdpSocket alsoWatched = udp();
    waiter.watch(0, watched.waitSource());
    waiter.watch(2, alsoWatched.waitSource());
    expectQuiet(waiter);

    sendTo(unwatched);
    sendTo(watched);
    EXPECT_EQ(settledReady(waiter, {0}), Sources{0}) << "the unwatched socket is not reported";
    EXPECT_EQ(readyOf(waiter.wait(kGenerous, std::nullopt)), Sources{0}) << "unread, so reported again";

    sendTo(alsoWatched);
    EXPECT_EQ(settledReady(waiter, {0, 2}), (Sources{0, 2})) << "each ready source once, ascending";

    drain(watched);
    EXPECT_EQ(settledReady(waiter, {2}), Sources{2}) << "read: no longer reported";
    drain(alsoWatched);
    expectQuiet(waiter);
}

// A source's next datagram, read only at the second wait: the first read left it behind.
TEST_F(ArrivalWaiterTest, ASocketReadInPartIsReportedForWhatIsLeft) {
    ArrivalWaiter waiter(quietTimer_.nativeHandle(), 1);
    UdpSocket socket = udp();
    waiter.watch(0, socket.waitSource());
    sendTo(socket);
    sendTo(socket);
    EXPECT_EQ(settledReady(waiter, {0}), Sources{0});
    std::array<std::uint8_t, 16> buffer{};
    SocketAddress from;
    ASSERT_TRUE(socket.receive(buffer, from));
    EXPECT_EQ(settledReady(waiter, {0}), Sources{0}) << "one datagram is still there";
    ASSERT_TRUE(socket.receive(buffer, from));
    expectQuiet(waiter);
}

struct TimingCase {
    const char* rule;
    std::optional<std::chrono::nanoseconds> deadline;
    bool freshTimer;  // a timer whose immediate first expiry is still due
    bool tick;
    bool reportsDeadline;
};

TEST_F(ArrivalWaiterTest, TheTimerAndTheDeadlineAreReportedAsTheyExpire) {
    const TimingCase cases[] = {
        {"a deadline that passes is reported; the quiet timer is not", 1ms, false, false, true},
        {"a deadline passed already is reported at once", 0ns, false, false, true},
        {"a deadline passed long ago too", -1s, false, false, true},
        {"a timer's expiry is reported", std::nullopt, true, true, false},
        {"beside a far deadline, the timer's expiry alone", std::chrono::hours(1), true, true, false},
    };
    for (const TimingCase& c : cases) {
        SCOPED_TRACE(c.rule);
        PeriodicTimer freshTimer(std::chrono::hours(1));
        ArrivalWaiter waiter(c.freshTimer ? freshTimer.nativeHandle() : quietTimer_.nativeHandle(), 1);
        const Wakeup wakeup = waiter.wait(kGenerous, c.deadline);
        EXPECT_EQ(wakeup.tick, c.tick);
        EXPECT_EQ(wakeup.deadline, c.reportsDeadline);
        EXPECT_EQ(readyOf(wakeup), Sources{});
        expectQuiet(waiter);  // the expiry was consumed; the deadline was for that wait only
    }
}

TEST_F(ArrivalWaiterTest, ADeadlineNotRepeatedInTheNextWaitIsDropped) {
    ArrivalWaiter waiter(quietTimer_.nativeHandle(), 1);
    const Wakeup early = waiter.wait(0ms, 5ms);  // returns before the deadline passes
    EXPECT_FALSE(early.deadline);
    expectQuiet(waiter);  // the 5 ms pass within it
}

TEST_F(ArrivalWaiterTest, AManualResetEventIsReportedWhileSignalled) {
    ArrivalWaiter waiter(quietTimer_.nativeHandle(), 2);
    Event event(Event::Reset::Manual, false);
    Event unwatched(Event::Reset::Manual, true);
    waiter.watch(1, event.waitSource());
    expectQuiet(waiter);
    event.set();
    EXPECT_EQ(readyOf(waiter.wait(kGenerous, std::nullopt)), Sources{1});
    EXPECT_EQ(readyOf(waiter.wait(kGenerous, std::nullopt)), Sources{1}) << "still signalled";
    event.reset();
    expectQuiet(waiter);
}

// On Windows one wait takes 64 handles; the sources beyond are waited on in groups of 63
// beside the first 61. The cases sit at the edges of those groups, with 130 sources.
TEST_F(ArrivalWaiterTest, ManyMoreSourcesThanOneWaitTakesAreAllWatched) {
    constexpr std::size_t kSources = 130;
    std::vector<UdpSocket> sockets;
    ArrivalWaiter waiter(quietTimer_.nativeHandle(), kSources);
    for (std::size_t source = 0; source < kSources; ++source) {
        sockets.push_back(udp());
        waiter.watch(source, sockets.back().waitSource());
    }
    const std::pair<const char*, Sources> cases[] = {
        {"one near the end of the list, alone", {127}},
        {"the last of the service thread's own", {60}},
        {"the first beyond them", {61}},
        {"the last of the first group beyond", {123}},
        {"the first of the second group", {124}},
        {"the very last", {129}},
        {"several across every group", {0, 60, 61, 100, 124, 129}},
    };
    for (const auto& [rule, ready] : cases) {
        SCOPED_TRACE(rule);
        for (const std::size_t source : ready) {
            sendTo(sockets[source]);
        }
        EXPECT_EQ(settledReady(waiter, ready), ready);
        for (const std::size_t source : ready) {
            drain(sockets[source]);
        }
        expectQuiet(waiter);
    }
}

// The service thread watches and waits in every cycle: neither may allocate, however many
// sources there are and however many are ready.
TEST_F(ArrivalWaiterTest, WatchesAndWaitsAllocateNothing) {
    constexpr std::size_t kSources = 130;
    std::vector<UdpSocket> sockets;
    for (std::size_t source = 0; source < kSources; ++source) {
        sockets.push_back(udp());
    }
    Event event(Event::Reset::Manual, true);
    ArrivalWaiter waiter(quietTimer_.nativeHandle(), kSources + 1);
    const Sources ready{0, 70, 129, kSources};
    for (const std::size_t source : ready) {
        if (source < kSources) {
            sendTo(sockets[source]);
        }
    }
    counting = true;
    for (int round = 0; round < 3; ++round) {
        for (std::size_t source = 0; source < kSources; ++source) {
            waiter.watch(source, sockets[source].waitSource());
        }
        waiter.watch(kSources, event.waitSource());
        waiter.wait(kGenerous, std::nullopt);
        waiter.wait(kGenerous, 1ms);
        waiter.watch(0, WaitSource{});
        waiter.watch(kSources, WaitSource{});
    }
    counting = false;
    EXPECT_EQ(allocations, 0);
    for (std::size_t source = 0; source < kSources; ++source) {
        waiter.watch(source, sockets[source].waitSource());
    }
    waiter.watch(kSources, event.waitSource());
    EXPECT_EQ(settledReady(waiter, ready), ready) << "the waits counted had these to report";
}

TEST_F(ArrivalWaiterTest, ARewatchedSourceFollowsItsNewSocketAndLeavesTheOldOneUsable) {
    ArrivalWaiter waiter(quietTimer_.nativeHandle(), 1);
    UdpSocket first = udp();
    UdpSocket second = udp();
    waiter.watch(0, first.waitSource());
    sendTo(first);
    sendTo(second);
    EXPECT_EQ(settledReady(waiter, {0}), Sources{0});

    waiter.watch(0, second.waitSource());
    EXPECT_EQ(settledReady(waiter, {0}), Sources{0}) << "the new socket's data came before it was watched";
    drain(second);
    expectQuiet(waiter);  // the first socket's data is unread but no longer watched
    drain(first);         // and the socket still reads as before

    const std::array<std::uint8_t, 1> reply{9};
    second.send(reply, ipv4SocketAddress(kLoopback, first.localPort()));
    EXPECT_TRUE(eventually([&] { return first.readable(); })) << "a watched socket sends as before";
    drain(first);

    waiter.watch(0, WaitSource{});
    sendTo(second);
    expectQuiet(waiter);
    drain(second);
}

// The system hands a closed socket's number out again: when the source that had it moves on
// later, the source that has it now must stay watched.
TEST_F(ArrivalWaiterTest, ASocketNumberHandedOutAgainStaysWatchedByItsNewSource) {
    ArrivalWaiter waiter(quietTimer_.nativeHandle(), 2);
    std::optional<UdpSocket> closed = udp();
    waiter.watch(0, closed->waitSource());
    closed.reset();
    UdpSocket reopened = udp();
    waiter.watch(1, reopened.waitSource());
    waiter.watch(0, WaitSource{});
    expectQuiet(waiter);  // what the watch itself may have signalled is gone
    sendTo(reopened);
    EXPECT_EQ(settledReady(waiter, {1}), Sources{1});
}

TEST_F(ArrivalWaiterTest, AListenerIsReportedForAClientAndItsConnectionForDataAndClose) {
    ArrivalWaiter waiter(quietTimer_.nativeHandle(), 1);
    TcpListener listener = TcpListener::open(kLoopback, 0).listener.value();
    waiter.watch(0, {WaitSource::Kind::Socket, listener.nativeHandle()});
    expectQuiet(waiter);

    TcpConnector connector = TcpConnector::start(kLoopback, listener.localPort());
    EXPECT_EQ(settledReady(waiter, {0}), Sources{0}) << "a client waits to be accepted";
    EXPECT_EQ(readyOf(waiter.wait(kGenerous, std::nullopt)), Sources{0}) << "and still does";
    TcpAccepted accepted = listener.accept();
    ASSERT_TRUE(accepted.connection);
    TcpConnectProgress client;
    ASSERT_TRUE(eventually([&] { return (client = connector.poll()).status == TcpConnectStatus::Connected; }));

    waiter.watch(0, {WaitSource::Kind::Socket, accepted.connection->nativeHandle(), 1});
    expectQuiet(waiter);
    const std::array<std::uint8_t, 2> bytes{7, 8};
    ASSERT_EQ(client.connection->send(bytes).status, TcpSendStatus::Complete);
    EXPECT_EQ(settledReady(waiter, {0}), Sources{0});
    std::array<std::uint8_t, 8> buffer{};
    EXPECT_EQ(accepted.connection->receive(buffer).count, 2u);
    expectQuiet(waiter);

    client.connection.reset();
    EXPECT_EQ(settledReady(waiter, {0}), Sources{0}) << "the close is there to be read";
    EXPECT_EQ(readyOf(waiter.wait(kGenerous, std::nullopt)), Sources{0}) << "until it is";
    EXPECT_EQ(accepted.connection->receive(buffer).status, TcpReceiveStatus::Closed);
}

}  // namespace
}  // namespace orvalix::platform
