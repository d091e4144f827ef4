#include "core/platform/event.hpp"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

#include "core/platform/posix/descriptor.hpp"

namespace orvalix::platform {
namespace {

int descriptorOf(std::intptr_t handle) {
    return static_cast<int>(handle);
}

}  // namespace

Event::Event(Reset reset, bool initiallySignalled) : reset_(reset) {
    const int fd = ::eventfd(initiallySignalled ? 1U : 0U, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
    handle_ = fd;
}

Event::~Event() {
    if (handle_ >= 0) {
        ::close(descriptorOf(handle_));
    }
}

Event::Event(Event&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), reset_(other.reset_) {}

Event& Event::operator=(Event&& other) noexcept {
    if (this != &other) {
        if (handle_ >= 0) {
            ::close(descriptorOf(handle_));
        }
        handle_ = std::exchange(other.handle_, -1);
        reset_ = other.reset_;
    }
    return *this;
}

void Event::set() {
    const std::uint64_t one = 1;
    // A full counter (EAGAIN) is signalled already.
    while (::write(descriptorOf(handle_), &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void Event::reset() {
    posix::consumeCounter(descriptorOf(handle_));
}

bool Event::tryWait() {
    const int fd = descriptorOf(handle_);
    if (reset_ == Reset::Automatic) {
        return posix::consumeCounter(fd);
    }
    return posix::waitReadable(fd, std::chrono::milliseconds(0));
}

bool Event::wait(std::chrono::milliseconds timeout) {
    const int fd = descriptorOf(handle_);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (!posix::waitReadable(fd, left)) {
            return false;
        }
        if (reset_ == Reset::Manual || posix::consumeCounter(fd)) {
            return true;
        }
        // Another waiter took the signal between poll and read: wait on for the rest.
    }
}

WaitSource Event::waitSource() const {
    return {WaitSource::Kind::Descriptor, handle_};
}

}  // namespace orvalix::platform
