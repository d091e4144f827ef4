#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace orvalix::platform {

// A periodic timer with absolute deadlines (timerfd on Linux; a high-resolution waitable
// timer on Windows where the system offers one, else the plain one), so that late waits do
// not shift later expiries. The first expiry is immediate. Throws std::runtime_error with the
// system's message when it cannot be made or armed.
class PeriodicTimer {
public:
    explicit PeriodicTimer(std::chrono::milliseconds period);
    ~PeriodicTimer();
    PeriodicTimer(const PeriodicTimer&) = delete;
    PeriodicTimer& operator=(const PeriodicTimer&) = delete;

    // Waits for the next expiry, at most the bound; true when the timer expired. Expiries
    // missed since the last wait count as one.
    bool wait(std::chrono::milliseconds bound);

    // What kind of timer the system gave, for diagnostics: "timerfd", "high-resolution"
    // or "waitable".
    std::string kind() const;

    // The timerfd or timer HANDLE, for a wait on it beside other objects (ArrivalWaiter).
    std::intptr_t nativeHandle() const { return handle_; }

private:
    std::intptr_t handle_ = -1;
    [[maybe_unused]] bool highResolution_ = false;  // read by the Windows timer only
};

}  // namespace orvalix::platform
