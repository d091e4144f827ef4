#include "core/traffic/iso_time.hpp"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace orvalix {
namespace {

constexpr std::int64_t kUnixEpochInFileTimeSeconds = 11644473600;
constexpr std::uint64_t kFileTimeTicksPerSecond = 10'000'000;

}  // namespace

int utcOffsetMinutes(const platform::LocalTimeFields& local, std::uint64_t fileTime) {
    using namespace std::chrono;
    const sys_days day{year{local.year} / month{static_cast<unsigned>(local.month)} /
                       std::chrono::day{static_cast<unsigned>(local.day)}};
    const std::int64_t localSeconds = day.time_since_epoch().count() * 86400LL + local.hour * 3600LL +
                                      local.minute * 60LL + local.second;
    const std::int64_t utcSeconds =
        static_cast<std::int64_t>(fileTime / kFileTimeTicksPerSecond) - kUnixEpochInFileTimeSeconds;
    return static_cast<int>((localSeconds - utcSeconds) / 60);
}

std::string isoTimeText(const platform::LocalTimeFields& local, int offsetMinutes) {
    // The sign stands apart: half an hour west is "-00:30".
    const int offset = std::abs(offsetMinutes);
    std::array<char, 64> text{};
    const int written = std::snprintf(text.data(), text.size(), "%.4d-%.2d-%.2dT%.2d:%.2d:%.2d.%.3d%c%.2d:%.2d",
                                      local.year, local.month, local.day, local.hour, local.minute, local.second,
                                      local.millisecond, offsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
    return written < 0 ? std::string{} : std::string(text.data());
}

std::string formatIsoTime(std::uint64_t fileTime) {
    const auto local = platform::toLocalTime(fileTime);
    return local ? isoTimeText(*local, utcOffsetMinutes(*local, fileTime)) : std::string{};
}

}  // namespace orvalix
