#include "core/platform/local_time.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>

#include "core/platform/clock.hpp"

namespace orvalix::platform {
namespace {

constexpr std::uint64_t kTicksPerSecond = 10'000'000;
constexpr std::uint64_t kUnixEpochInFileTime = 116444736000000000;

// The C library's view of the same second, for comparison; localtime is not reentrant, but
// these tests run on one thread.
std::tm referenceLocalTime(std::uint64_t fileTime) {
    const auto seconds = static_cast<std::time_t>((fileTime - kUnixEpochInFileTime) / kTicksPerSecond);
    return *std::localtime(&seconds);
}

struct LocalTimeCase {
    const char* rule;
    std::uint64_t fileTime;
    int millisecond;
};

TEST(ToLocalTime, AgreesWithTheCLibraryAndKeepsMilliseconds) {
    const std::uint64_t now = currentFileTime() / kTicksPerSecond * kTicksPerSecond;
    const std::uint64_t jan2024 = kUnixEpochInFileTime + 1704067199ULL * kTicksPerSecond;  // 2023-12-31 23:59:59 UTC
    const LocalTimeCase cases[] = {
        {"now, whole second", now, 0},
        {"7 ms", now + 70'000, 7},
        {"999.9999 ms is still 999", now + 9'999'999, 999},
        {"a year change in UTC", jan2024 + 5'000'000, 500},
        {"mid-year (summer time where there is one)", jan2024 + 182ULL * 86400 * kTicksPerSecond + 123'0000, 123},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        const auto fields = toLocalTime(c.fileTime);
        ASSERT_TRUE(fields.has_value());
        const std::tm expected = referenceLocalTime(c.fileTime);
        EXPECT_EQ(fields->year, expected.tm_year + 1900);
        EXPECT_EQ(fields->month, expected.tm_mon + 1);
        EXPECT_EQ(fields->day, expected.tm_mday);
        EXPECT_EQ(fields->hour, expected.tm_hour);
        EXPECT_EQ(fields->minute, expected.tm_min);
        EXPECT_EQ(fields->second, expected.tm_sec);
        EXPECT_EQ(fields->millisecond, c.millisecond);
    }
}

TEST(ToLocalTime, TimesBeyondTheSignedRangeHaveNone) {
    EXPECT_FALSE(toLocalTime(0x8000000000000000ULL).has_value());
    EXPECT_FALSE(toLocalTime(UINT64_MAX).has_value());
}

}  // namespace
}  // namespace orvalix::platform
