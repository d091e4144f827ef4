#include "core/platform/interrupt.hpp"

#include <atomic>
#include <stdexcept>
#include <system_error>

#include "core/platform/win32/windows_headers.hpp"

namespace orvalix::platform {
namespace {

// The console control handler runs on a thread of the system's and reaches only this.
struct ControlState {
    std::atomic<bool> active{false};
    std::atomic<bool> requested{false};
    std::atomic<HANDLE> wake{nullptr};
};

constinit ControlState controlState;

// Windows ends the process soon after a close event's handler returns: hold it for the
// time the system allows, so that the program can stop in order (its exit ends this wait).
constexpr DWORD kCloseGraceMilliseconds = 5000;

BOOL WINAPI onConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) {
        return FALSE;
    }
    controlState.requested.store(true);
    const HANDLE wake = controlState.wake.load();
    if (wake != nullptr) {
        ::SetEvent(wake);
    }
    if (type == CTRL_CLOSE_EVENT) {
        ::Sleep(kCloseGraceMilliseconds);
    }
    return TRUE;
}

}  // namespace

InterruptRequests::InterruptRequests() {
    if (controlState.active.exchange(true)) {
        throw std::logic_error("only one InterruptRequests may live at a time");
    }
    const HANDLE wake = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (wake == nullptr) {
        const DWORD error = ::GetLastError();
        controlState.active.store(false);
        throw std::system_error(static_cast<int>(error), std::system_category(), "CreateEventW");
    }
    controlState.requested.store(false);
    controlState.wake.store(wake);
    ::SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

InterruptRequests::~InterruptRequests() {
    ::SetConsoleCtrlHandler(onConsoleControl, FALSE);
    ::CloseHandle(controlState.wake.exchange(nullptr));
    controlState.active.store(false);
}

bool InterruptRequests::requested() const {
    return controlState.requested.load();
}

bool InterruptRequests::waitFor(std::chrono::milliseconds timeout) const {
    if (requested()) {
        return true;
    }
    ::WaitForSingleObject(controlState.wake.load(), win32::waitMilliseconds(timeout));
    return requested();
}

}  // namespace orvalix::platform
