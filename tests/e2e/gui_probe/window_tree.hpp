#pragma once

#include <windows.h>

#include "json_output.hpp"

namespace orvalix::gui_probe {

// Writes one window and, depth first, its children: handle, class, text, control id,
// visibility, process, owner, screen rectangle; for a list view also its item count and columns.
void describeWindow(JsonOutput& out, HWND window);

// The window's text as WM_GETTEXT gives it (works across processes).
std::wstring windowText(HWND window);

}  // namespace orvalix::gui_probe
