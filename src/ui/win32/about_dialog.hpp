#pragma once

#include "ui/win32/win32_ui.hpp"

namespace Orvalix {

// The modal About box: product name and version beside the application icon.
void showAboutDialog(HINSTANCE instance, HWND owner);

}  // namespace Orvalix
