// The pump's side of port events: what reaches the sink, and how often.

#include "core/session/port_watch.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "core/platform/error_text.hpp"
#include "core/ports/udp_socket.hpp"
#include "port_event_sink.hpp"

namespace orvalix {
namespace {

using Texts = std::vector<std::string>;

// One look of the pump at an environment (port COM7); a look with clear set starts a new run first.
struct Look {
    std::int64_t ms;
    PortHealth health;
    bool finalLook = false;
    bool clear = false;
    std::u16string_view environment = u"F1";
};

// The events one watch tells over the looks.
Texts eventsOf(const Environment& settings, const std::vector<Look>& looks) {
    PortWatch watch;
    test::PortEventSink sink;
    for (const Look& look : looks) {
        if (look.clear) {
            watch.clear();
        }
        watch.look(look.environment, settings, look.health, look.ms, look.finalLook, sink);
    }
    return sink.portEvents;
}

TEST(PortWatch, TellsALostPortOnceAndDropsAtMostOnceASecond) {
    const std::string io = platform::systemErrorText(EIO);
    // clang-format off
    const struct {
        const char* rule;
        std::vector<Look> looks;
        Texts events;
    } cases[] = {
        {"a port that tells nothing gives no event", {{0, {}}, {1000, {}}, {2000, {}, true}}, {}},
        {"a lost port is told once, with its name and the system's text", {{0, {}}, {333, {EIO, 0}}, {666, {EIO, 0}},
         {2000, {EIO, 0}, true}}, {"F1 lost COM7: " + io}},
        {"the first drops are told at once; growth within a second of that waits for the second to pass",
         {{0, {0, 3}}, {333, {0, 10}}, {666, {0, 12}}, {999, {0, 12}}, {1000, {0, 15}}, {1333, {0, 15}}, {2333, {0, 15}}},
         {"F1 dropped 3 of 3", "F1 dropped 12 of 15"}},
        {"after a quiet spell the next growth is told at once", {{0, {0, 3}}, {5000, {0, 4}}},
         {"F1 dropped 3 of 3", "F1 dropped 1 of 4"}},
        {"the final look tells what waits, whatever the time", {{0, {0, 3}}, {333, {0, 10}, true}},
         {"F1 dropped 3 of 3", "F1 dropped 7 of 10"}},
        {"the port's counter wraps around; the total does not",
         {{0, {0, 0xFFFFFFF0u}}, {1000, {0, 0x10}}}, {"F1 dropped 4294967280 of 4294967280", "F1 dropped 32 of 4294967312"}},
        {"a new run counts from 0 and may lose its port again",
         {{0, {EIO, 5}}, {100, {0, 0}, false, true}, {200, {0, 2}}, {300, {EIO, 2}}},
         {"F1 dropped 5 of 5", "F1 lost COM7: " + io, "F1 dropped 2 of 2", "F1 lost COM7: " + io}},
        {"each environment keeps its own second",
         {{0, {0, 1}}, {500, {0, 1}, false, false, u"F2"}, {1000, {0, 2}}, {1000, {0, 2}, false, false, u"F2"}},
         {"F1 dropped 1 of 1", "F2 dropped 1 of 1", "F1 dropped 1 of 2"}},
    };
    // clang-format on
    Environment settings;
    settings.port.name = u"COM7";
    for (const auto& c : cases) {
        EXPECT_EQ(eventsOf(settings, c.looks), c.events) << c.rule;
    }
}

// A TCP port after `opened` connections, `closed` of them ended; connection n came from
// 127.0.0.1:50000+n.
PortHealth tcp(std::uint32_t opened, std::uint32_t closed, std::uint32_t failureRuns = 0, std::uint32_t error = 0,
               std::uint32_t droppedSends = 0) {
    PortHealth health;
    ConnectionHealth& c = health.connections;
    c.opened = opened;
    c.closed = closed;
    for (std::uint32_t n = opened; n > 0 && opened - n < ConnectionHealth::kPeersKept; --n) {
        c.peer(n) = ipv4SocketAddress(0x7F000001, static_cast<std::uint16_t>(50000 + n));
    }
    c.failureRuns = failureRuns;
    c.failureError = error;
    c.droppedSends = droppedSends;
    return health;
}

TEST(PortWatch, TellsEveryConnectionInOrderEachRunOfFailuresOnceAndUnsentFramesAtMostOnceASecond) {
    const std::string refused = "F1 failed tcp-client://127.0.0.1:502: " + platform::systemErrorText(ECONNREFUSED);
    const std::string timedOut = "F1 failed tcp-client://127.0.0.1:502: " + platform::systemErrorText(ETIMEDOUT);
    // clang-format off
    const struct {
        const char* rule;
        std::vector<Look> looks;
        Texts events;
    } cases[] = {
        {"a connection that came and went between two looks is told, opened before closed",
         {{0, tcp(0, 0)}, {333, tcp(1, 1)}}, {"F1 opened 127.0.0.1:50001", "F1 closed 127.0.0.1:50001"}},
        {"several clients between two looks are each told, in order; the one still served is told opened",
         {{0, tcp(1, 0)}, {333, tcp(1, 0)}, {666, tcp(3, 2)}},
         {"F1 opened 127.0.0.1:50001", "F1 closed 127.0.0.1:50001", "F1 opened 127.0.0.1:50002",
          "F1 closed 127.0.0.1:50002", "F1 opened 127.0.0.1:50003"}},
        {"a run of failures is told once with the system's text; a run for another reason is told again",
         {{0, tcp(0, 0, 1, ECONNREFUSED)}, {1000, tcp(0, 0, 1, ECONNREFUSED)}, {2000, tcp(0, 0, 2, ETIMEDOUT)}},
         {refused, timedOut}},
        {"failures are told before the connection that ended them, and after the connection they followed",
         {{0, tcp(0, 0)}, {333, tcp(1, 0, 1, ECONNREFUSED)}, {666, tcp(1, 1, 2, ECONNREFUSED)}},
         {refused, "F1 opened 127.0.0.1:50001", "F1 closed 127.0.0.1:50001", refused}},
        {"frames no connection took are told at once, then at most once a second; the final look tells the rest",
         {{0, tcp(0, 0, 0, 0, 2)}, {333, tcp(0, 0, 0, 0, 5)}, {1000, tcp(0, 0, 0, 0, 7)}, {1333, tcp(0, 0, 0, 0, 9), true}},
         {"F1 unsent 2 of 2", "F1 unsent 5 of 7", "F1 unsent 2 of 9"}},
        {"a new run's connections count from 0",
         {{0, tcp(1, 0, 1, ECONNREFUSED)}, {100, tcp(1, 0, 1, ECONNREFUSED), false, true}},
         {refused, "F1 opened 127.0.0.1:50001", refused, "F1 opened 127.0.0.1:50001"}},
    };
    // clang-format on
    Environment settings;
    settings.port.name = u"tcp-client://127.0.0.1:502";
    for (const auto& c : cases) {
        EXPECT_EQ(eventsOf(settings, c.looks), c.events) << c.rule;
    }
}

// The port keeps the peers of its latest connections only; older ones are still told.
TEST(PortWatch, ConnectionsWhosePeerThePortNoLongerKeepsAreToldWithoutOne) {
    PortWatch watch;
    test::PortEventSink sink;
    const std::uint32_t count = ConnectionHealth::kPeersKept + 1;
    watch.look(u"F1", Environment{}, tcp(count, count), 0, false, sink);
    ASSERT_EQ(sink.portEvents.size(), 2 * count);
    EXPECT_EQ(sink.portEvents[0], "F1 opened ");
    EXPECT_EQ(sink.portEvents[1], "F1 closed ");
    EXPECT_EQ(sink.portEvents[2], "F1 opened 127.0.0.1:50002");
    EXPECT_EQ(sink.portEvents.back(), "F1 closed 127.0.0.1:" + std::to_string(50000 + count));
}

}  // namespace
}  // namespace orvalix
