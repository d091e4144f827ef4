#include "core/platform/win32/system_message.hpp"

#include <cstdio>

#include "core/platform/win32/windows_headers.hpp"

namespace orvalix::platform::win32 {

std::string systemMessage(std::uint32_t error) {
    char* buffer = nullptr;
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    if (length > 0 && buffer != nullptr) {
        std::string text(buffer, length);
        ::LocalFree(buffer);
        return text;
    }
    char number[16] = {};
    std::snprintf(number, sizeof number, "%lx", static_cast<unsigned long>(error));
    return number;
}

}  // namespace orvalix::platform::win32
