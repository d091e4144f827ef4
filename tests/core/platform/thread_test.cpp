#include "core/platform/thread.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>

#include "core/platform/event.hpp"

namespace orvalix::platform {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kServiceStack = 2 * 1024 * 1024;

TEST(Thread, JoinWaitsOnlyForABodyThatReturns) {
    Event release(Event::Reset::Manual, false);
    Thread thread([&release] { release.wait(60s); }, kServiceStack);
    EXPECT_FALSE(thread.finished());
    EXPECT_FALSE(thread.join(10ms));
    release.set();
    EXPECT_TRUE(thread.join(60s));
    EXPECT_TRUE(thread.finished());
    EXPECT_TRUE(thread.join(0ms));  // joined before
}

TEST(Thread, DestructionWaitsForTheBody) {
    Event release(Event::Reset::Manual, false);
    std::atomic<bool> bodyDone{false};
    {
        Thread thread(
            [&] {
                release.wait(60s);
                bodyDone = true;
            },
            kServiceStack);
        release.set();
    }
    EXPECT_TRUE(bodyDone);
}

TEST(Thread, ADetachedThreadRunsOnAndKeepsWhatItCaptured) {
    auto release = std::make_shared<Event>(Event::Reset::Manual, false);
    auto done = std::make_shared<Event>(Event::Reset::Manual, false);
    {
        Thread thread(
            [release, done] {
                release->wait(60s);
                done->set();
            },
            kServiceStack);
        thread.detach();
        EXPECT_FALSE(thread.join(0ms));
    }  // gone while the body still waits
    EXPECT_FALSE(done->tryWait());
    release->set();
    EXPECT_TRUE(done->wait(60s));
}

}  // namespace
}  // namespace orvalix::platform
