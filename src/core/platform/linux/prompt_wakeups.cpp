#include "core/platform/prompt_wakeups.hpp"

#include <sched.h>

#include "core/platform/linux/scheduling_attributes.hpp"

namespace orvalix::platform {
namespace {

// The shortest slice the kernel grants. A slice shorter than the busy thread's (0.7 ms and
// more by default) is what lets a wakeup take the processor from it.
constexpr std::uint64_t kSliceNanoseconds = 100'000;

}  // namespace

void requestPromptWakeups() {
    posix::SchedulingAttributes attributes;
    if (!posix::readSchedulingAttributes(attributes)) {
        return;
    }
    // Real-time threads wake promptly already; an idle-class one asked to come last.
    if (attributes.policy != SCHED_OTHER && attributes.policy != SCHED_BATCH) {
        return;
    }
    attributes.flags &= posix::kResetOnFork;  // without the other flags nothing else changes
    attributes.runtime = kSliceNanoseconds;    // kernels before 6.12 ignore it
    posix::writeSchedulingAttributes(attributes);
}

}  // namespace orvalix::platform
