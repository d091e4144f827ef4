#include "core/platform/interrupt.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <stdexcept>

namespace orvalix::platform {
namespace {

using namespace std::chrono_literals;

TEST(InterruptRequests, OnlyOneMayLiveAtATime) {
    {
        const InterruptRequests first;
        EXPECT_THROW(InterruptRequests{}, std::logic_error);
    }
    EXPECT_NO_THROW(InterruptRequests{});
}

// Windows console control events go to the whole console and cannot be raised from a test.
#ifndef _WIN32
volatile std::sig_atomic_t earlierHandlerCalls = 0;

TEST(InterruptRequests, ASignalBecomesARequestAndTheEarlierHandlingComesBack) {
    std::signal(SIGTERM, [](int) { earlierHandlerCalls = earlierHandlerCalls + 1; });
    earlierHandlerCalls = 0;
    {
        const InterruptRequests requests;
        EXPECT_FALSE(requests.requested());
        std::raise(SIGTERM);
        EXPECT_TRUE(requests.waitFor(0ms));
        EXPECT_EQ(earlierHandlerCalls, 0);
    }
    EXPECT_FALSE(InterruptRequests{}.requested());  // a new object starts without a request
    std::raise(SIGTERM);
    EXPECT_EQ(earlierHandlerCalls, 1);
    std::signal(SIGTERM, SIG_DFL);
}
#endif

}  // namespace
}  // namespace orvalix::platform
