#pragma once

#include <chrono>
#include <cstdint>

#include "core/platform/wait_source.hpp"

namespace orvalix::platform {

// A kernel event: auto-reset (a successful test or wait consumes the signal) or manual-reset.
// The native handle is what overlapped I/O and the HDLC board library signal: a Windows
// event HANDLE, or an eventfd descriptor on Linux (readable while signalled; writing an
// 8-byte 1 signals it).
class Event {
public:
    enum class Reset { Automatic, Manual };

    // Throws std::system_error when the system cannot make one.
    Event(Reset reset, bool initiallySignalled);
    ~Event();
    // A moved-from event has no handle; only destruction and assignment are allowed on it.
    Event(Event&& other) noexcept;
    Event& operator=(Event&& other) noexcept;
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    void reset();
    // Tests without waiting; an automatic event is reset by a successful test.
    bool tryWait();
    // Waits at most the timeout; true when signalled (and, when automatic, consumed).
    bool wait(std::chrono::milliseconds timeout);

    std::intptr_t nativeHandle() const { return handle_; }
    // The event for an ArrivalWaiter, ready while signalled. Give it a manual-reset one: on
    // Windows the waiter's own wait would consume an automatic one's signal.
    WaitSource waitSource() const;

private:
    std::intptr_t handle_ = -1;
    Reset reset_ = Reset::Automatic;
};

}  // namespace orvalix::platform
