#pragma once

#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>

namespace orvalix::platform::posix {

// The kernel's struct sched_attr in its first form (48 bytes), declared here: the C library
// has no wrapper for sched_getattr/sched_setattr, and <linux/sched/types.h> clashes with its
// <sched.h> on older systems. Policies are the C library's SCHED_* values.
struct SchedulingAttributes {
    std::uint32_t size = sizeof(SchedulingAttributes);
    std::uint32_t policy = 0;
    std::uint64_t flags = 0;
    std::int32_t nice = 0;
    std::uint32_t priority = 0;
    // For a time-sharing thread, the time slice it asks for in ns (Linux 6.12 and later; 0
    // before); the other two serve SCHED_DEADLINE only.
    std::uint64_t runtime = 0;
    std::uint64_t deadline = 0;
    std::uint64_t period = 0;
};
static_assert(sizeof(SchedulingAttributes) == 48);

inline constexpr std::uint64_t kResetOnFork = 0x01;  // SCHED_FLAG_RESET_ON_FORK

// The calling thread's attributes; false when the system has no sched_getattr.
inline bool readSchedulingAttributes(SchedulingAttributes& attributes) {
    return ::syscall(SYS_sched_getattr, 0, &attributes, sizeof attributes, 0) == 0;
}

inline bool writeSchedulingAttributes(SchedulingAttributes attributes) {
    attributes.size = sizeof attributes;
    return ::syscall(SYS_sched_setattr, 0, &attributes, 0) == 0;
}

}  // namespace orvalix::platform::posix
