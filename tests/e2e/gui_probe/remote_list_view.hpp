#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace orvalix::gui_probe {

struct ListColumn {
    std::wstring title;
    int width = 0;
};

// The columns of a list view in another process. The list writes a column's text through a
// pointer, so the request and its text buffer are placed in the list's own address space.
// Nothing when that process cannot be opened.
std::optional<std::vector<ListColumn>> readListColumns(HWND list);

// The list's item count (an owner-data list: the count the application set).
int listItemCount(HWND list);

}  // namespace orvalix::gui_probe
