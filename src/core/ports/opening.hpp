#pragma once

#include <cstdint>
#include <optional>

namespace orvalix {

// What an attempt to open something gives: the opened thing, or the system's error number
// (errno; GetLastError or the WSA code on Windows) that kept it from opening, 0 when the
// system gave none.
template <typename Opened>
struct Opening {
    std::optional<Opened> opened;
    std::uint32_t error = 0;
};

}  // namespace orvalix
