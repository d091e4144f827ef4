#include "core/platform/timer_resolution.hpp"

#include "core/platform/win32/windows_headers.hpp"

namespace orvalix::platform {
namespace {

// Declared here rather than taken from the SDK: SetProcessInformation is Windows 8 and later,
// and the timer-resolution flag is Windows 11's.
struct PowerThrottlingState {
    ULONG version;
    ULONG controlMask;
    ULONG stateMask;
};
constexpr ULONG kPowerThrottlingVersion = 1;
constexpr ULONG kIgnoreTimerResolution = 0x4;
constexpr int kProcessPowerThrottling = 4;  // PROCESS_INFORMATION_CLASS value
using SetProcessInformationFunction = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);

}  // namespace

void keepTimerResolutionWhenHidden() {
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) {
        return;
    }
    const auto setProcessInformation = reinterpret_cast<SetProcessInformationFunction>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "SetProcessInformation")));
    if (setProcessInformation == nullptr) {
        return;  // before Windows 8: no throttling to opt out of
    }
    // Control the flag, state cleared: timer resolution is never throttled.
    PowerThrottlingState state{kPowerThrottlingVersion, kIgnoreTimerResolution, 0};
    // Systems before Windows 11 refuse the flag; they do not throttle timer resolution either.
    setProcessInformation(::GetCurrentProcess(), kProcessPowerThrottling, &state, sizeof state);
}

}  // namespace orvalix::platform
