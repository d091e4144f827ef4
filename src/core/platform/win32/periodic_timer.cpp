#include "core/platform/periodic_timer.hpp"

#include <stdexcept>
#include <string>

#include "core/platform/win32/system_message.hpp"
#include "core/platform/win32/windows_headers.hpp"

#include <timeapi.h>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace orvalix::platform {
namespace {

using win32::fromHandle;
using win32::toHandle;

[[noreturn]] void throwLastError() {
    throw std::runtime_error(win32::systemMessage(::GetLastError()));
}

}  // namespace

PeriodicTimer::PeriodicTimer(std::chrono::milliseconds period) {
    HANDLE timer = ::CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                            TIMER_ALL_ACCESS);
    highResolution_ = timer != nullptr;
    if (timer == nullptr) {
        // Systems before Windows 10 1803 have only the plain timer, which expires on the
        // system timer's ticks (15.6 ms unless raised): raise it to 1 ms for this timer's life.
        timer = ::CreateWaitableTimerW(nullptr, FALSE, nullptr);
        if (timer == nullptr) {
            throwLastError();
        }
        ::timeBeginPeriod(1);
    }
    LARGE_INTEGER dueTime{};  // a due time of 0 lies in the past: the first expiry is at once
    const LONG periodMilliseconds = period.count() <= 0 ? 0
                                    : period.count() > 0x7FFFFFFF ? 0x7FFFFFFF
                                                                  : static_cast<LONG>(period.count());
    if (!::SetWaitableTimer(timer, &dueTime, periodMilliseconds, nullptr, nullptr, FALSE)) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(timer);
        if (!highResolution_) {
            ::timeEndPeriod(1);
        }
        throw std::runtime_error(win32::systemMessage(error));
    }
    handle_ = fromHandle(timer);
}

PeriodicTimer::~PeriodicTimer() {
    ::CancelWaitableTimer(toHandle(handle_));
    ::CloseHandle(toHandle(handle_));
    if (!highResolution_) {
        ::timeEndPeriod(1);
    }
}

bool PeriodicTimer::wait(std::chrono::milliseconds bound) {
    return ::WaitForSingleObject(toHandle(handle_), win32::waitMilliseconds(bound)) == WAIT_OBJECT_0;
}

std::string PeriodicTimer::kind() const {
    return highResolution_ ? "high-resolution" : "waitable";
}

}  // namespace orvalix::platform
