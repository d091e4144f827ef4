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
    // Ctrl-C, a termination request and a closed terminal all ask for the orderly end.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        std::signal(signal, [](int) { earlierHandlerCalls = earlierHandlerCalls + 1; });
        earlierHandlerCalls = 0;
        {
            const InterruptRequests requests;
            EXPECT_FALSE(requests.requested());
            std::raise(signal);
            EXPECT_TRUE(requests.waitFor(0ms));
            EXPECT_EQ(earlierHandlerCalls, 0);
        }
        EXPECT_FALSE(InterruptRequests{}.requested());  // a new object starts without a request
        std::raise(signal);
        EXPECT_EQ(earlierHandlerCalls, 1);
        std::signal(signal, SIG_DFL);
    }
}

TEST(InterruptRequests, AReaderThatGoesAwayIsNoSignalWhileItLives) {
    std::signal(SIGPIPE, [](int) { earlierHandlerCalls = earlierHandlerCalls + 1; });
    earlierHandlerCalls = 0;
    {
        const InterruptRequests requests;
        std::raise(SIGPIPE);  // would end the process were it not ignored
        EXPECT_EQ(earlierHandlerCalls, 0);
        EXPECT_FALSE(requests.requested()) << "a closed pipe is the writer's to notice, not a stop request";
    }
    std::raise(SIGPIPE);
    EXPECT_EQ(earlierHandlerCalls, 1);
    std::signal(SIGPIPE, SIG_DFL);
}
#endif

}  // namespace
}  // namespace orvalix::platform
