#include "core/platform/prompt_wakeups.hpp"

#include <gtest/gtest.h>
#include <sched.h>

#include <thread>

#include "core/platform/linux/scheduling_attributes.hpp"

namespace orvalix::platform {
namespace {

using posix::SchedulingAttributes;

SchedulingAttributes attributesOfThisThread() {
    SchedulingAttributes attributes;
    EXPECT_TRUE(posix::readSchedulingAttributes(attributes));
    return attributes;
}

// Each case on a thread of its own, which starts with the policy and nice value given (nice
// only ever raised: lowering it takes a privilege). Kernels before 6.12 report no slice.
TEST(RequestPromptWakeups, ShortensTheSliceOfATimeSharingThreadAndKeepsItsPolicyAndNiceValue) {
    struct Case {
        const char* rule;
        std::uint32_t policy;
        std::int32_t niceAbove;  // the test's own nice value
    };
    const Case cases[] = {
        {"a plain thread gets a shorter slice", SCHED_OTHER, 0},
        {"a niced thread keeps its nice value", SCHED_OTHER, 3},
        {"a batch thread stays one", SCHED_BATCH, 2},
    };
    const std::int32_t ownNice = attributesOfThisThread().nice;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        std::thread([&c, ownNice] {
            SchedulingAttributes start;
            start.policy = c.policy;
            start.nice = ownNice + c.niceAbove;
            ASSERT_TRUE(posix::writeSchedulingAttributes(start));
            const SchedulingAttributes before = attributesOfThisThread();
            requestPromptWakeups();
            const SchedulingAttributes after = attributesOfThisThread();
            EXPECT_EQ(after.policy, c.policy);
            EXPECT_EQ(after.nice, before.nice);
            if (before.runtime != 0) {
                EXPECT_LT(after.runtime, before.runtime);
            }
        }).join();
    }
}

}  // namespace
}  // namespace orvalix::platform
