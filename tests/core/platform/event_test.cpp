#include "core/platform/event.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace orvalix::platform {
namespace {

using namespace std::chrono_literals;
using Reset = Event::Reset;

TEST(Event, AutomaticEventsConsumeTheSignalManualEventsKeepIt) {
    for (const Reset reset : {Reset::Automatic, Reset::Manual}) {
        SCOPED_TRACE(reset == Reset::Automatic ? "automatic" : "manual");
        const bool keeps = reset == Reset::Manual;
        Event signalled(reset, true);
        EXPECT_TRUE(signalled.tryWait());
        EXPECT_EQ(signalled.tryWait(), keeps);

        Event event(reset, false);
        EXPECT_FALSE(event.tryWait());
        event.set();
        event.set();  // two sets are still one signal
        EXPECT_TRUE(event.wait(0ms));
        EXPECT_EQ(event.tryWait(), keeps);
        event.set();
        event.reset();
        EXPECT_FALSE(event.wait(-5ms));

        std::thread setter([&event] { event.set(); });
        EXPECT_TRUE(event.wait(10s));
        setter.join();
        EXPECT_EQ(event.tryWait(), keeps);
    }
}

}  // namespace
}  // namespace orvalix::platform
