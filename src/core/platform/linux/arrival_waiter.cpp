#include "core/platform/arrival_waiter.hpp"

#include <sys/epoll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "core/platform/posix/descriptor.hpp"

namespace orvalix::platform {
namespace {

[[noreturn]] void throwSystemError(int error) {
    throw std::runtime_error(std::strerror(error));
}

// Reads a timerfd's expiry count, so that it stops being readable.
void consumeExpiries(int fd) {
    std::uint64_t expiries = 0;
    while (::read(fd, &expiries, sizeof expiries) < 0 && errno == EINTR) {
    }
}

}  // namespace

struct ArrivalWaiter::Native {
    posix::UniqueDescriptor epoll;
    posix::UniqueDescriptor deadlineTimer;
    int timer = -1;
    bool deadlineArmed = false;
    std::vector<WaitSource> watched;
    std::vector<epoll_event> events;
    std::vector<std::size_t> ready;

    // Sources are numbered from 0; the two timers come after them.
    std::size_t timerKey() const { return watched.size(); }
    std::size_t deadlineKey() const { return watched.size() + 1; }

    // A descriptor closed by its port may already be another source's new one.
    bool watchedElsewhere(std::size_t source, std::intptr_t handle) const {
        for (std::size_t other = 0; other < watched.size(); ++other) {
            if (other != source && watched[other].kind != WaitSource::Kind::None &&
                watched[other].handle == handle) {
                return true;
            }
        }
        return false;
    }

    void add(int fd, std::size_t key) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = key;
        if (::epoll_ctl(epoll.get(), EPOLL_CTL_ADD, fd, &event) != 0) {
            throwSystemError(errno);
        }
    }
};

ArrivalWaiter::ArrivalWaiter(std::intptr_t timerHandle, std::size_t sourceCount)
    : native_(std::make_unique<Native>()) {
    native_->epoll = posix::UniqueDescriptor(::epoll_create1(EPOLL_CLOEXEC));
    if (native_->epoll.get() < 0) {
        throwSystemError(errno);
    }
    native_->deadlineTimer =
        posix::UniqueDescriptor(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
    if (native_->deadlineTimer.get() < 0) {
        throwSystemError(errno);
    }
    native_->timer = static_cast<int>(timerHandle);
    native_->watched.resize(sourceCount);
    native_->events.resize(sourceCount + 2);
    native_->ready.reserve(sourceCount);
    native_->add(native_->timer, native_->timerKey());
    native_->add(native_->deadlineTimer.get(), native_->deadlineKey());
}

ArrivalWaiter::~ArrivalWaiter() = default;

void ArrivalWaiter::watch(std::size_t source, WaitSource what) {
    WaitSource& watched = native_->watched[source];
    if (watched == what) {
        return;
    }
    if (watched.kind != WaitSource::Kind::None && !native_->watchedElsewhere(source, watched.handle)) {
        // A descriptor closed meanwhile has left the set by itself; the call then fails, harmlessly.
        ::epoll_ctl(native_->epoll.get(), EPOLL_CTL_DEL, static_cast<int>(watched.handle), nullptr);
    }
    watched = WaitSource{};
    if (what.kind == WaitSource::Kind::None) {
        return;
    }
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = source;
    const int fd = static_cast<int>(what.handle);
    if (::epoll_ctl(native_->epoll.get(), EPOLL_CTL_ADD, fd, &event) != 0 &&
        (errno != EEXIST || ::epoll_ctl(native_->epoll.get(), EPOLL_CTL_MOD, fd, &event) != 0)) {
        return;  // not watched: the source is still read at every tick
    }
    watched = what;
}

Wakeup ArrivalWaiter::wait(std::chrono::milliseconds bound, std::optional<std::chrono::nanoseconds> deadline) {
    Native& native = *native_;
    if (deadline || native.deadlineArmed) {
        itimerspec due{};
        if (deadline) {
            // A zero value would disarm the timer: a deadline already passed is due in 1 ns.
            const auto nanoseconds = std::max<std::chrono::nanoseconds::rep>(deadline->count(), 1);
            due.it_value.tv_sec = static_cast<time_t>(nanoseconds / 1'000'000'000);
            due.it_value.tv_nsec = static_cast<long>(nanoseconds % 1'000'000'000);
        }
        ::timerfd_settime(native.deadlineTimer.get(), 0, &due, nullptr);
        native.deadlineArmed = deadline.has_value();
    }
    native.ready.clear();
    Wakeup wakeup;
    const int count = ::epoll_wait(native.epoll.get(), native.events.data(),
                                   static_cast<int>(native.events.size()), posix::pollTimeout(bound));
    for (int i = 0; i < count; ++i) {
        const std::size_t key = native.events[static_cast<std::size_t>(i)].data.u64;
        if (key == native.timerKey()) {
            consumeExpiries(native.timer);
            wakeup.tick = true;
        } else if (key == native.deadlineKey()) {
            consumeExpiries(native.deadlineTimer.get());
            native.deadlineArmed = false;
            wakeup.deadline = true;
        } else {
            native.ready.push_back(key);
        }
    }
    std::sort(native.ready.begin(), native.ready.end());
    wakeup.ready = native.ready;
    return wakeup;
}

}  // namespace orvalix::platform
