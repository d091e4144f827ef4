#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>

namespace orvalix::platform {

// A thread with a chosen stack size. Unlike std::thread it may be given up on: detach() lets
// a thread that did not end in time run on, so callers keep alive whatever it still uses
// (the body itself and the thread's own bookkeeping are kept alive by the thread).
// An exception escaping the body ends the process through std::terminate: bodies catch
// what they can handle themselves.
class Thread {
public:
    // Throws std::system_error (with the system's error number) when the thread cannot be
    // created.
    Thread(std::function<void()> body, std::size_t stackSize);
    ~Thread();  // waits for the body and joins, unless joined or detached before
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // True once the body has returned.
    bool finished() const;
    // Waits at most the timeout for the body to return; joins and returns true when it did.
    // True at once when joined before; false after detach().
    bool join(std::chrono::milliseconds timeout);
    // Gives the thread up; it runs on by itself. Nothing once joined or detached.
    void detach();

    // Bookkeeping shared with the running thread; defined by each platform's implementation.
    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace orvalix::platform
