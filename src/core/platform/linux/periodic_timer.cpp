#include "core/platform/periodic_timer.hpp"

#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "core/platform/posix/descriptor.hpp"

namespace orvalix::platform {
namespace {

[[noreturn]] void throwSystemError(int error) {
    throw std::runtime_error(std::strerror(error));
}

timespec toTimespec(std::chrono::milliseconds duration) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
    timespec result{};
    result.tv_sec = static_cast<time_t>(seconds.count());
    result.tv_nsec = static_cast<long>(std::chrono::nanoseconds(duration - seconds).count());
    return result;
}

}  // namespace

PeriodicTimer::PeriodicTimer(std::chrono::milliseconds period) {
    posix::UniqueDescriptor timer(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
    if (timer.get() < 0) {
        throwSystemError(errno);
    }
    itimerspec schedule{};
    // An absolute first deadline of "now" fires at once; later ones follow from it, not from
    // the moment of each wait.
    if (::clock_gettime(CLOCK_MONOTONIC, &schedule.it_value) != 0) {
        throwSystemError(errno);
    }
    schedule.it_interval = toTimespec(period.count() > 0 ? period : std::chrono::milliseconds(0));
    if (::timerfd_settime(timer.get(), TFD_TIMER_ABSTIME, &schedule, nullptr) != 0) {
        throwSystemError(errno);
    }
    handle_ = timer.release();
}

PeriodicTimer::~PeriodicTimer() {
    ::close(static_cast<int>(handle_));
}

bool PeriodicTimer::wait(std::chrono::milliseconds bound) {
    const int fd = static_cast<int>(handle_);
    if (!posix::waitReadable(fd, bound)) {
        return false;
    }
    return posix::consumeCounter(fd);
}

std::string PeriodicTimer::kind() const {
    return "timerfd";
}

}  // namespace orvalix::platform
