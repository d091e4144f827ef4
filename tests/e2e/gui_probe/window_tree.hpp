#pragma once

#include <windows.h>

#include "json_output.hpp"

namespace orvalix::gui_probe {

// Writes one window and, depth first, its children: class, text, control id and screen
// rectangle; for a list view also its item count and columns.
void describeWindow(JsonOutput& out, HWND window);

}  // namespace orvalix::gui_probe
