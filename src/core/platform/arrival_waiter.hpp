#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "core/platform/wait_source.hpp"

namespace orvalix::platform {

// How a wait for the timer and the ports ended.
struct Wakeup {
    bool tick = false;      // the periodic timer expired; the expiry is consumed
    bool deadline = false;  // the one-shot deadline passed
    // The sources (as numbered for watch) that have something to read, each once, in
    // ascending order. Valid until the next wait.
    std::span<const std::size_t> ready;
};

// Waits on the periodic timer and on every port at once (epoll with the timerfd in the same
// set on Linux; the timer, socket events and overlapped events on Windows, any number of
// them), so that a port's data is seen when it comes rather than at the next tick. Sources
// are numbered 0..sourceCount-1; each watches at most one system object at a time. Nothing
// allocates after construction. Throws std::runtime_error with the system's message when it
// cannot be made.
class ArrivalWaiter {
public:
    ArrivalWaiter(std::intptr_t timerHandle, std::size_t sourceCount);
    ~ArrivalWaiter();
    ArrivalWaiter(const ArrivalWaiter&) = delete;
    ArrivalWaiter& operator=(const ArrivalWaiter&) = delete;

    // The object to watch for a source from now on (Kind::None watches nothing). Cheap when it
    // is the one already watched, so it may be called before every wait.
    void watch(std::size_t source, WaitSource what);

    // Waits until the timer expires, a watched source is ready, the deadline (from now) passes
    // or the bound passes, whichever is first; returns at once when one of them already has.
    Wakeup wait(std::chrono::milliseconds bound, std::optional<std::chrono::nanoseconds> deadline);

    struct Native;

private:
    std::unique_ptr<Native> native_;
};

}  // namespace orvalix::platform
