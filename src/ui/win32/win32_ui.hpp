#pragma once

// The Windows headers as the user interface needs them: the platform's, in Unicode, and the
// common controls.
#ifndef UNICODE
#define UNICODE
#endif
#include "core/platform/win32/windows_headers.hpp"

#include <commctrl.h>

#include <string>
#include <string_view>

namespace orvalix::ui::win32 {

// UTF-16 text as the W functions take it (wchar_t is 16 bits on Windows).
inline const wchar_t* wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline std::u16string fromWide(const wchar_t* text) {
    return text == nullptr ? std::u16string() : std::u16string(reinterpret_cast<const char16_t*>(text));
}

}  // namespace orvalix::ui::win32
