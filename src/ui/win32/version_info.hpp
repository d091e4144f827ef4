#pragma once

#include <cstdint>
#include <string>

namespace orvalix::ui::win32 {

// The executable's own version resource.
struct FileVersion {
    std::uint32_t high = 0;  // dwFileVersionMS: major, minor
    std::uint32_t low = 0;   // dwFileVersionLS
};

// ProductName of the translation that matches the user's language and the OEM code page, or
// of the first translation; empty when there is none.
std::u16string productName();
// Zero when the executable has no version resource.
FileVersion fileVersion();

}  // namespace orvalix::ui::win32
