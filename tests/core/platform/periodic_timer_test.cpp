#include "core/platform/periodic_timer.hpp"

#include <gtest/gtest.h>

#include <chrono>

namespace orvalix::platform {
namespace {

using namespace std::chrono_literals;

TEST(PeriodicTimer, FiresAtOnceAndThenEveryPeriod) {
    PeriodicTimer timer(10ms);
    EXPECT_FALSE(timer.kind().empty());
    // Bounds far above the period: only a timer that never fires (or fires once) fails.
    for (int expiry = 0; expiry < 5; ++expiry) {
        SCOPED_TRACE(expiry);
        EXPECT_TRUE(timer.wait(1s));
    }
}

TEST(PeriodicTimer, AWaitThatEndsBeforeTheNextExpiryReportsNone) {
    PeriodicTimer timer(std::chrono::hours(1));
    EXPECT_TRUE(timer.wait(1s));    // the immediate first expiry
    EXPECT_FALSE(timer.wait(20ms));  // the next is an hour away
    EXPECT_FALSE(timer.wait(0ms));
}

}  // namespace
}  // namespace orvalix::platform
