#pragma once

#include <atomic>

// Heap allocations made while counting is on, for tests that show a path allocates nothing.
// The test program that links allocation_count.cpp has operator new replaced to count them.
namespace orvalix::test {

inline std::atomic<bool> counting{false};
inline std::atomic<long> allocations{0};

}  // namespace orvalix::test
