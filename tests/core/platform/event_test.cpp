#include "core/platform/event.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace orvalix::platform {
namespace {

using namespace std::chrono_literals;
using Reset = Event::Reset;

struct SignalCase {
    const char* rule;
    Reset reset;
    bool initiallySignalled;
    bool firstTest;
    bool secondTest;
};

TEST(Event, AutomaticEventsConsumeTheSignalManualEventsKeepIt) {
    const SignalCase cases[] = {
        {"automatic, signalled at creation: one test succeeds", Reset::Automatic, true, true, false},
        {"manual, signalled at creation: every test succeeds", Reset::Manual, true, true, true},
        {"automatic, not signalled", Reset::Automatic, false, false, false},
        {"manual, not signalled", Reset::Manual, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        Event event(c.reset, c.initiallySignalled);
        EXPECT_EQ(event.tryWait(), c.firstTest);
        EXPECT_EQ(event.tryWait(), c.secondTest);
    }
}

TEST(Event, SetSignalsAndResetClears) {
    for (const Reset reset : {Reset::Automatic, Reset::Manual}) {
        SCOPED_TRACE(reset == Reset::Automatic ? "automatic" : "manual");
        Event event(reset, false);
        event.set();
        event.set();  // two sets are still one signal
        EXPECT_TRUE(event.wait(0ms));
        EXPECT_EQ(event.tryWait(), reset == Reset::Manual);
        event.set();
        event.reset();
        EXPECT_FALSE(event.tryWait());
    }
}

TEST(Event, WaitOnAnUnsignalledEventTimesOut) {
    Event event(Reset::Manual, false);
    EXPECT_FALSE(event.wait(20ms));
    EXPECT_FALSE(event.wait(-5ms));
}

TEST(Event, SetFromAnotherThreadWakesAWaiter) {
    for (const Reset reset : {Reset::Automatic, Reset::Manual}) {
        SCOPED_TRACE(reset == Reset::Automatic ? "automatic" : "manual");
        Event event(reset, false);
        std::thread setter([&event] { event.set(); });
        EXPECT_TRUE(event.wait(10s));
        setter.join();
        EXPECT_EQ(event.tryWait(), reset == Reset::Manual);
    }
}

TEST(Event, MovingHandsTheHandleOver) {
    Event first(Reset::Manual, true);
    const std::intptr_t handle = first.nativeHandle();
    Event second(std::move(first));
    EXPECT_EQ(second.nativeHandle(), handle);
    EXPECT_EQ(first.nativeHandle(), -1);  // NOLINT(bugprone-use-after-move): the moved-from state is the point
    EXPECT_TRUE(second.tryWait());

    Event third(Reset::Automatic, false);
    third = std::move(second);
    EXPECT_EQ(third.nativeHandle(), handle);
    EXPECT_TRUE(third.tryWait());
    EXPECT_TRUE(third.tryWait());  // still the manual event
}

}  // namespace
}  // namespace orvalix::platform
