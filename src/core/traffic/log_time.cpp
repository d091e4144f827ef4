#include <array>
#include <cstdio>

#include "core/platform/local_time.hpp"
#include "core/traffic/log_files.hpp"

namespace orvalix {
namespace {

std::string formatLocal(std::uint64_t fileTime, const char* format) {
    const auto local = platform::toLocalTime(fileTime);
    if (!local) {
        return {};
    }
    std::array<char, 64> text{};
    const int written = std::snprintf(text.data(), text.size(), format, local->year, local->month, local->day,
                                      local->hour, local->minute, local->second, local->millisecond);
    if (written < 0) {
        return {};
    }
    return std::string(text.data());
}

// The texts are ASCII digits and punctuation: widening is a copy.
std::u16string widenAscii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

}  // namespace

std::string formatTimeNarrow(std::uint64_t fileTime) {
    return formatLocal(fileTime, "%.4d/%.2d/%.2d %.2d:%.2d:%.2d.%.3d");
}

std::u16string formatTime(std::uint64_t fileTime) { return widenAscii(formatTimeNarrow(fileTime)); }

std::u16string formatCompactTime(std::uint64_t fileTime) {
    return widenAscii(formatLocal(fileTime, "%.4d%.2d%.2d_%.2d%.2d%.2d_%.3d"));
}

}  // namespace orvalix
