#pragma once

#include <chrono>

namespace orvalix::platform {

// Turns Ctrl-C, termination requests and a closed terminal (SIGINT/SIGTERM/SIGHUP; Ctrl-C,
// Ctrl-Break and console close events on Windows) into a flag that a console program polls,
// for as long as the object lives; the earlier handling is restored on destruction. Meanwhile
// a write to a pipe without a reader fails instead of ending the process (SIGPIPE ignored). Signal handlers are
// process-wide, so only one object may live at a time: a second one throws std::logic_error.
// On Windows a console close gives the program about five seconds to finish.
class InterruptRequests {
public:
    InterruptRequests();
    ~InterruptRequests();
    InterruptRequests(const InterruptRequests&) = delete;
    InterruptRequests& operator=(const InterruptRequests&) = delete;

    bool requested() const;
    // Sleeps at most the timeout, waking early when an interrupt arrives; true if one did
    // (now or before).
    bool waitFor(std::chrono::milliseconds timeout) const;
};

}  // namespace orvalix::platform
