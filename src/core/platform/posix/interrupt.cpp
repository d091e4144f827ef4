#include "core/platform/interrupt.hpp"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <stdexcept>
#include <system_error>

#include "core/platform/posix/descriptor.hpp"

namespace orvalix::platform {
namespace {

// Signal handlers reach only static storage. Lock-free atomics are safe to touch from one.
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

// A closed terminal (SIGHUP) asks for the same orderly end as Ctrl-C.
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

struct SignalState {
    std::atomic<bool> active{false};
    std::atomic<bool> requested{false};
    std::atomic<int> wakeWriteEnd{-1};
    int wakeReadEnd = -1;
    struct sigaction previous[std::size(kSignals)]{};
    struct sigaction previousPipe {};
};

constinit SignalState signalState;

void onTerminationSignal(int) {
    SignalState& state = signalState;
    const int savedErrno = errno;
    state.requested.store(true);
    const int fd = state.wakeWriteEnd.load();
    if (fd >= 0) {
        const char wake = 1;
        // Non-blocking: a full pipe already wakes the waiter.
        [[maybe_unused]] const ssize_t ignored = ::write(fd, &wake, 1);
    }
    errno = savedErrno;
}

}  // namespace

InterruptRequests::InterruptRequests() {
    SignalState& state = signalState;
    if (state.active.exchange(true)) {
        throw std::logic_error("only one InterruptRequests may live at a time");
    }
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) {
        const int error = errno;
        state.active.store(false);
        throw std::system_error(error, std::generic_category(), "pipe2");
    }
    state.wakeReadEnd = ends[0];
    state.wakeWriteEnd.store(ends[1]);
    state.requested.store(false);

    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        ::sigaction(kSignals[i], &action, &state.previous[i]);
    }
    // A reader that goes away (`| head`) must not kill the program before its traces are
    // written: the write fails instead, and the program decides.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, &state.previousPipe);
}

InterruptRequests::~InterruptRequests() {
    SignalState& state = signalState;
    ::sigaction(SIGPIPE, &state.previousPipe, nullptr);
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        ::sigaction(kSignals[i], &state.previous[i], nullptr);
    }
    ::close(state.wakeWriteEnd.exchange(-1));
    ::close(state.wakeReadEnd);
    state.wakeReadEnd = -1;
    state.active.store(false);
}

bool InterruptRequests::requested() const {
    return signalState.requested.load();
}

bool InterruptRequests::waitFor(std::chrono::milliseconds timeout) const {
    if (requested()) {
        return true;
    }
    // The pipe is never drained: once requested, every later wait returns at once.
    posix::waitReadable(signalState.wakeReadEnd, timeout);
    return requested();
}

}  // namespace orvalix::platform
