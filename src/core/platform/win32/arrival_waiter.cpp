#include "core/platform/arrival_waiter.hpp"

#include "core/platform/win32/system_message.hpp"
#include "core/platform/win32/windows_headers.hpp"

namespace orvalix::platform {

// For now the timer alone: ports are read at the tick.
struct ArrivalWaiter::Native {
    HANDLE timer = nullptr;
};

ArrivalWaiter::ArrivalWaiter(std::intptr_t timerHandle, std::size_t)
    : native_(std::make_unique<Native>()) {
    native_->timer = win32::toHandle(timerHandle);
}

ArrivalWaiter::~ArrivalWaiter() = default;

void ArrivalWaiter::watch(std::size_t, WaitSource) {}

Wakeup ArrivalWaiter::wait(std::chrono::milliseconds bound, std::optional<std::chrono::nanoseconds>) {
    Wakeup wakeup;
    wakeup.tick = ::WaitForSingleObject(native_->timer, win32::waitMilliseconds(bound)) == WAIT_OBJECT_0;
    return wakeup;
}

}  // namespace orvalix::platform
