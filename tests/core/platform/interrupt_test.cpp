#include "core/platform/interrupt.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <stdexcept>

namespace orvalix::platform {
namespace {

using namespace std::chrono_literals;

TEST(InterruptRequests, OnlyOneMayLiveAtATime) {
    const InterruptRequests first;
    EXPECT_THROW(InterruptRequests{}, std::logic_error);
}

TEST(InterruptRequests, ASecondObjectMayFollowTheFirst) {
    { const InterruptRequests first; }
    EXPECT_NO_THROW(InterruptRequests{});
}

#ifdef _WIN32
// Console control events go to the whole console; raise() does not make one.
TEST(InterruptRequests, SignalsBecomeRequests) {
    GTEST_SKIP() << "console control events cannot be raised from inside a test";
}
#else
volatile std::sig_atomic_t earlierHandlerCalls = 0;

void earlierHandler(int) {
    earlierHandlerCalls = earlierHandlerCalls + 1;
}

TEST(InterruptRequests, SignalsBecomeRequestsAndTheEarlierHandlingComesBack) {
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        std::signal(signal, earlierHandler);
        earlierHandlerCalls = 0;
        {
            const InterruptRequests requests;
            EXPECT_FALSE(requests.requested());
            EXPECT_FALSE(requests.waitFor(10ms));
            std::raise(signal);
            EXPECT_TRUE(requests.requested());
            EXPECT_TRUE(requests.waitFor(0ms));
            EXPECT_EQ(earlierHandlerCalls, 0);
        }
        {
            const InterruptRequests next;
            EXPECT_FALSE(next.requested());  // a new object starts without a request
        }
        std::raise(signal);
        EXPECT_EQ(earlierHandlerCalls, 1);
        std::signal(signal, SIG_DFL);
    }
}
#endif

}  // namespace
}  // namespace orvalix::platform
