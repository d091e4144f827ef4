#pragma once

#include <cstdint>

namespace orvalix::platform {

// Current UTC time as a FILETIME value (100 ns since 1601); 0 when it cannot be read.
// Windows gives the precise system time where the system has it.
std::uint64_t currentFileTime();

// High-resolution monotonic counter and its ticks per second; 0 when unavailable.
// The counter keeps counting across changes of the wall clock (CLOCK_MONOTONIC in
// nanoseconds on POSIX, frequency 1e9; QueryPerformanceCounter on Windows).
std::int64_t performanceCounter();
std::int64_t performanceFrequency();

}  // namespace orvalix::platform
