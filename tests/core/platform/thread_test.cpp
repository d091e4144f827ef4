#include "core/platform/thread.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "core/platform/event.hpp"

namespace orvalix::platform {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kStackSize = 2 * 1024 * 1024;

TEST(Thread, JoinWaitsOnlyForABodyThatReturns) {
    Event release(Event::Reset::Manual, false);
    Thread thread([&release] { release.wait(60s); }, kStackSize);
    EXPECT_FALSE(thread.finished());
    EXPECT_FALSE(thread.join(10ms));
    release.set();
    EXPECT_TRUE(thread.join(60s));
    EXPECT_TRUE(thread.finished());
    EXPECT_TRUE(thread.join(0ms));  // joined before
}

TEST(Thread, DestructionWaitsForTheBodyUnlessDetached) {
    // The detached body outlives the object and keeps what it captured.
    auto release = std::make_shared<Event>(Event::Reset::Manual, false);
    auto done = std::make_shared<Event>(Event::Reset::Manual, false);
    const auto body = [release, done] {
        release->wait(60s);
        done->set();
    };
    {
        Thread thread(body, kStackSize);
        thread.detach();
        EXPECT_FALSE(thread.join(0ms));
    }
    EXPECT_FALSE(done->tryWait());
    release->set();
    EXPECT_TRUE(done->wait(60s));
    done->reset();
    { const Thread thread(body, kStackSize); }
    EXPECT_TRUE(done->tryWait());
}

}  // namespace
}  // namespace orvalix::platform
