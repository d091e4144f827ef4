#pragma once

#include "ui/win32/win32_ui.hpp"

namespace orvalix::ui::win32 {

// The modal About box: product name and version beside the application icon.
void showAboutDialog(HINSTANCE instance, HWND owner);

}  // namespace orvalix::ui::win32
