#include "core/platform/clock.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>

#include "core/platform/local_time.hpp"

namespace orvalix::platform {
namespace {

constexpr std::int64_t kUnixEpochInFileTime = 116444736000000000;  // 1970-01-01 in 100 ns units

std::int64_t systemClockAsFileTime() {
    const auto sinceUnixEpoch = std::chrono::system_clock::now().time_since_epoch();
    return kUnixEpochInFileTime +
           std::chrono::duration_cast<std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>>(sinceUnixEpoch)
               .count();
}

TEST(CurrentFileTime, CountsHundredNanosecondsSince1601) {
    const auto before = systemClockAsFileTime();
    const auto now = static_cast<std::int64_t>(currentFileTime());
    const auto after = systemClockAsFileTime();
    // Two clocks of the same system; a wrong epoch or unit is off by years or by factors.
    constexpr std::int64_t kSlack = 10'000'000;  // 1 s
    EXPECT_GE(now, before - kSlack);
    EXPECT_LE(now, after + kSlack);
}

TEST(PerformanceCounter, NeverRunsBackwardsAndHasAFrequency) {
    EXPECT_GT(performanceFrequency(), 0);
    std::int64_t previous = performanceCounter();
    EXPECT_GT(previous, 0);
    for (int i = 0; i < 1000; ++i) {
        const std::int64_t next = performanceCounter();
        ASSERT_GE(next, previous);
        previous = next;
    }
}

}  // namespace
}  // namespace orvalix::platform
