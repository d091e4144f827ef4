#include "core/platform/win32/system_message.hpp"

#include <cstdio>
#include <string_view>

#include "core/platform/win32/windows_headers.hpp"
#include "core/text/text_conversion.hpp"

namespace orvalix::platform::win32 {

std::string systemMessage(std::uint32_t error) {
    // The wide text, turned into UTF-8: the narrow call would give the ANSI code page's bytes
    // (Shift-JIS on a Japanese system), which every reader of this text takes for UTF-8.
    wchar_t* buffer = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length > 0 && buffer != nullptr) {
        const std::string text = toNarrow(std::u16string_view(reinterpret_cast<const char16_t*>(buffer), length));
        ::LocalFree(buffer);
        return text;
    }
    char number[16] = {};
    std::snprintf(number, sizeof number, "%lx", static_cast<unsigned long>(error));
    return number;
}

}  // namespace orvalix::platform::win32
