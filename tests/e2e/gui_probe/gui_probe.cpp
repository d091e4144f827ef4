// Looks at the windows of another program on the same desktop and prints what it sees as JSON,
// for the end-to-end tests of the desktop application under Wine.
//
//   orvalix-gui-probe windows   the visible top-level windows, each with its child windows;
//                               list views with item count and columns
//
// Exit status 0 on success, 2 on a usage error.
#include <windows.h>

#include <string_view>
#include <vector>

#include "json_output.hpp"
#include "window_tree.hpp"

namespace {

void print(std::string_view text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

BOOL CALLBACK collect(HWND window, LPARAM windows) {
    reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2 || std::wstring_view(argv[1]) != L"windows") {
        print("usage: orvalix-gui-probe windows\n");
        return 2;
    }
    std::vector<HWND> windows;
    EnumWindows(collect, reinterpret_cast<LPARAM>(&windows));
    orvalix::gui_probe::JsonOutput out;
    out.beginArray();
    for (HWND window : windows) {
        if (IsWindowVisible(window)) {
            orvalix::gui_probe::describeWindow(out, window);
        }
    }
    out.endArray();
    print(out.text() + "\n");
    return 0;
}
