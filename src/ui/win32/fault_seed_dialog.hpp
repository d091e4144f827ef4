#pragma once

#include <cstdint>
#include <optional>

#include "ui/win32/win32_ui.hpp"

namespace orvalix::ui::win32 {

// Asks for the seed of the fault files' draws, showing the current one; none when cancelled.
// A text that is no seed is refused with a message and the dialog stays.
std::optional<std::uint64_t> askFaultSeed(HINSTANCE instance, HWND owner, std::uint64_t current);

}  // namespace orvalix::ui::win32
