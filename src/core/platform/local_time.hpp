#pragma once

#include <cstdint>
#include <optional>

namespace orvalix::platform {

struct LocalTimeFields {
    int year = 0;
    int month = 0;  // 1-12
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// A FILETIME converted to the local time zone's calendar fields; empty when it cannot be.
// FILETIMEs beyond the signed 64-bit range have no calendar time on either platform.
// Reads the time zone as the system has it and changes no process state.
std::optional<LocalTimeFields> toLocalTime(std::uint64_t fileTime);

}  // namespace orvalix::platform
