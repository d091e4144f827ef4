#pragma once

#include <cstdint>

namespace orvalix::bench {

// Heap allocations made so far by the whole process (operator new is replaced in
// allocation_counter.cpp), so that a benchmark can show that a path allocates nothing.
std::uint64_t allocationCount();

}  // namespace orvalix::bench
