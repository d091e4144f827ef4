#include "core/platform/clock.hpp"

#include "core/platform/win32/windows_headers.hpp"

namespace orvalix::platform {
namespace {

using SystemTimeFunction = VOID(WINAPI*)(LPFILETIME);

// GetSystemTimePreciseAsFileTime exists from Windows 8 on; looked up once.
SystemTimeFunction systemTimeFunction() {
    static const SystemTimeFunction function = [] {
        const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
        const FARPROC precise = kernel != nullptr ? ::GetProcAddress(kernel, "GetSystemTimePreciseAsFileTime") : nullptr;
        if (precise == nullptr) {
            return &::GetSystemTimeAsFileTime;
        }
        // Through void(*)() so that the compiler accepts the change of signature.
        return reinterpret_cast<SystemTimeFunction>(reinterpret_cast<void (*)()>(precise));
    }();
    return function;
}

}  // namespace

std::uint64_t currentFileTime() {
    FILETIME now{};
    systemTimeFunction()(&now);
    return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

std::int64_t performanceCounter() {
    LARGE_INTEGER counter{};
    if (!::QueryPerformanceCounter(&counter)) {
        return 0;
    }
    return counter.QuadPart;
}

std::int64_t performanceFrequency() {
    LARGE_INTEGER frequency{};
    if (!::QueryPerformanceFrequency(&frequency)) {
        return 0;
    }
    return frequency.QuadPart;
}

}  // namespace orvalix::platform
