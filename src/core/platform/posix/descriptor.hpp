#pragma once

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <utility>

namespace orvalix::platform::posix {

// Owns a file descriptor; -1 when empty.
class UniqueDescriptor {
public:
    UniqueDescriptor() = default;
    explicit UniqueDescriptor(int fd) : fd_(fd) {}
    ~UniqueDescriptor() { close(); }
    UniqueDescriptor(UniqueDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueDescriptor& operator=(UniqueDescriptor&& other) noexcept {
        if (this != &other) {
            close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    UniqueDescriptor(const UniqueDescriptor&) = delete;
    UniqueDescriptor& operator=(const UniqueDescriptor&) = delete;

    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    void close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_ = -1;
};

// poll() takes an int of milliseconds; negative timeouts mean "do not wait" here, never
// "wait forever".
inline int pollTimeout(std::chrono::milliseconds timeout) {
    if (timeout.count() <= 0) {
        return 0;
    }
    if (timeout.count() >= INT_MAX) {
        return INT_MAX;
    }
    return static_cast<int>(timeout.count());
}

// Waits until the descriptor is readable, at most the timeout; a signal does not shorten
// the wait.
inline bool waitReadable(int fd, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        pollfd entry{fd, POLLIN, 0};
        // Rounded up, so that a wait never ends before its deadline.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int result = ::poll(&entry, 1, pollTimeout(left));
        if (result > 0) {
            return true;
        }
        if (result == 0 || errno != EINTR) {
            return false;
        }
    }
}

// Reads the 8-byte counter of an eventfd or a timerfd, and so clears it; false when it was
// zero (the descriptor is non-blocking) or the read failed.
inline bool consumeCounter(int fd) {
    std::uint64_t count = 0;
    for (;;) {
        if (::read(fd, &count, sizeof count) == static_cast<ssize_t>(sizeof count)) {
            return true;
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

}  // namespace orvalix::platform::posix
