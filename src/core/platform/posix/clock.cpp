#include "core/platform/clock.hpp"

#include <time.h>

namespace orvalix::platform {
namespace {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kUnixEpochInFileTimeSeconds = 11644473600;
constexpr std::int64_t kFileTimeTicksPerSecond = 10'000'000;
constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;

}  // namespace

std::uint64_t currentFileTime() {
    timespec now{};
    if (::clock_gettime(CLOCK_REALTIME, &now) != 0) {
        return 0;
    }
    const std::int64_t seconds = static_cast<std::int64_t>(now.tv_sec) + kUnixEpochInFileTimeSeconds;
    if (seconds < 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(seconds) * kFileTimeTicksPerSecond +
           static_cast<std::uint64_t>(now.tv_nsec / 100);
}

std::int64_t performanceCounter() {
    timespec now{};
    if (::clock_gettime(CLOCK_MONOTONIC, &now) != 0) {
        return 0;
    }
    return static_cast<std::int64_t>(now.tv_sec) * kNanosecondsPerSecond + now.tv_nsec;
}

std::int64_t performanceFrequency() {
    return kNanosecondsPerSecond;
}

}  // namespace orvalix::platform
