#include "core/platform/local_time.hpp"

#include <time.h>

#include <limits>

namespace orvalix::platform {
namespace {

constexpr std::int64_t kUnixEpochInFileTimeSeconds = 11644473600;
constexpr std::uint64_t kFileTimeTicksPerSecond = 10'000'000;
constexpr std::uint64_t kFileTimeTicksPerMillisecond = 10'000;

}  // namespace

std::optional<LocalTimeFields> toLocalTime(std::uint64_t fileTime) {
    // Windows refuses these too; the same answer on both platforms.
    if (fileTime > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        return std::nullopt;
    }
    const auto seconds = static_cast<time_t>(
        static_cast<std::int64_t>(fileTime / kFileTimeTicksPerSecond) - kUnixEpochInFileTimeSeconds);
    tm local{};
    if (::localtime_r(&seconds, &local) == nullptr) {
        return std::nullopt;
    }
    LocalTimeFields fields;
    fields.year = local.tm_year + 1900;
    fields.month = local.tm_mon + 1;
    fields.day = local.tm_mday;
    fields.hour = local.tm_hour;
    fields.minute = local.tm_min;
    fields.second = local.tm_sec;
    fields.millisecond = static_cast<int>(fileTime % kFileTimeTicksPerSecond / kFileTimeTicksPerMillisecond);
    return fields;
}

}  // namespace orvalix::platform
