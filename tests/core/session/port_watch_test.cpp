// The pump's side of port events: what reaches the sink, and how often.

#include "core/session/port_watch.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "core/platform/error_text.hpp"
#include "port_event_sink.hpp"

namespace orvalix {
namespace {

using Texts = std::vector<std::string>;

// One look of the pump at environment F1 (port COM7); a look with clear set starts a new run first.
struct Look {
    std::int64_t ms;
    PortHealth health;
    bool finalLook = false;
    bool clear = false;
};

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
    };
    // clang-format on
    Environment settings;
    settings.port.name = u"COM7";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        PortWatch watch;
        test::PortEventSink sink;
        for (const Look& look : c.looks) {
            if (look.clear) {
                watch.clear();
            }
            watch.look(u"F1", settings, look.health, look.ms, look.finalLook, sink);
        }
        EXPECT_EQ(sink.portEvents, c.events);
    }
}

// Each environment keeps its own second.
TEST(PortWatch, EnvironmentsAreThrottledApart) {
    Environment settings;
    PortWatch watch;
    test::PortEventSink sink;
    watch.look(u"F1", settings, {0, 1}, 0, false, sink);
    watch.look(u"F2", settings, {0, 1}, 500, false, sink);
    watch.look(u"F1", settings, {0, 2}, 1000, false, sink);
    watch.look(u"F2", settings, {0, 2}, 1000, false, sink);
    EXPECT_EQ(sink.portEvents, (Texts{"F1 dropped 1 of 1", "F2 dropped 1 of 1", "F1 dropped 1 of 2"}));
}

}  // namespace
}  // namespace orvalix
