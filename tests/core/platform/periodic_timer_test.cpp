#include "core/platform/periodic_timer.hpp"

#include <gtest/gtest.h>

#include <chrono>

namespace orvalix::platform {
namespace {

using namespace std::chrono_literals;

// Bounds far above the period: only a timer that never fires (or fires once) fails.
TEST(PeriodicTimer, FiresAtOnceAndThenEveryPeriod) {
    PeriodicTimer timer(10ms);
    for (int expiry = 0; expiry < 3; ++expiry) {
        EXPECT_TRUE(timer.wait(1s)) << expiry;
    }
    PeriodicTimer hourly(std::chrono::hours(1));
    EXPECT_TRUE(hourly.wait(1s));     // the immediate first expiry
    EXPECT_FALSE(hourly.wait(10ms));  // the next is an hour away
    EXPECT_FALSE(hourly.wait(0ms));
}

}  // namespace
}  // namespace orvalix::platform
