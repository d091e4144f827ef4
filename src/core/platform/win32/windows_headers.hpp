#pragma once

// The build defines WIN32_LEAN_AND_MEAN and NOMINMAX for every file. winsock2.h still comes
// first, in case a file is ever compiled without them.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <chrono>

namespace orvalix::platform::win32 {

// Wait functions take a DWORD of milliseconds in which INFINITE (all ones) means "forever";
// a bounded wait must never become that, and a negative one does not wait.
inline DWORD waitMilliseconds(std::chrono::milliseconds timeout) {
    if (timeout.count() <= 0) {
        return 0;
    }
    if (timeout.count() >= static_cast<long long>(INFINITE)) {
        return INFINITE - 1;
    }
    return static_cast<DWORD>(timeout.count());
}

// A HANDLE kept in a std::intptr_t, as the portable headers hold it.
inline HANDLE toHandle(std::intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}

inline std::intptr_t fromHandle(HANDLE handle) {
    return reinterpret_cast<std::intptr_t>(handle);
}

}  // namespace orvalix::platform::win32
