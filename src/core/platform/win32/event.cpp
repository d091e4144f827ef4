#include "core/platform/event.hpp"

#include <system_error>
#include <utility>

#include "core/platform/win32/windows_headers.hpp"

namespace orvalix::platform {

using win32::fromHandle;
using win32::toHandle;

Event::Event(Reset reset, bool initiallySignalled) : reset_(reset) {
    const HANDLE event = ::CreateEventW(nullptr, reset == Reset::Manual, initiallySignalled, nullptr);
    if (event == nullptr) {
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), "CreateEventW");
    }
    handle_ = fromHandle(event);
}

Event::~Event() {
    if (handle_ != -1) {
        ::CloseHandle(toHandle(handle_));
    }
}

Event::Event(Event&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), reset_(other.reset_) {}

Event& Event::operator=(Event&& other) noexcept {
    if (this != &other) {
        if (handle_ != -1) {
            ::CloseHandle(toHandle(handle_));
        }
        handle_ = std::exchange(other.handle_, -1);
        reset_ = other.reset_;
    }
    return *this;
}

void Event::set() {
    ::SetEvent(toHandle(handle_));
}

void Event::reset() {
    ::ResetEvent(toHandle(handle_));
}

bool Event::tryWait() {
    return ::WaitForSingleObject(toHandle(handle_), 0) == WAIT_OBJECT_0;
}

bool Event::wait(std::chrono::milliseconds timeout) {
    return ::WaitForSingleObject(toHandle(handle_), win32::waitMilliseconds(timeout)) == WAIT_OBJECT_0;
}

WaitSource Event::waitSource() const {
    return {WaitSource::Kind::Event, handle_};
}

}  // namespace orvalix::platform
