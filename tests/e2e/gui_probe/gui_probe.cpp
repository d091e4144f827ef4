// Looks at the windows of another program on the same desktop and prints what it sees as JSON,
// for the end-to-end tests of the desktop application under Wine.
//
//   orvalix-gui-probe windows [--all]   top-level windows (visible ones unless --all), each with
//                                      its child windows; list views with item count and columns
//   orvalix-gui-probe text HWND         one window's text
//   orvalix-gui-probe click HWND ID     posts a click of button ID to the dialog HWND
//   orvalix-gui-probe foreground        the foreground window
//
// Exit status 0 on success, 1 when the window is gone, 2 on a usage error.
#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <optional>
#include <string_view>
#include <vector>

#include "json_output.hpp"
#include "window_tree.hpp"

namespace {

using orvalix::gui_probe::JsonOutput;

constexpr int kUsageError = 2;
constexpr int kNoSuchWindow = 1;

void print(std::string_view text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::optional<HWND> parseWindow(const wchar_t* text) {
    wchar_t* end = nullptr;
    const unsigned long long number = std::wcstoull(text, &end, 0);
    if (end == text || *end != L'\0') {
        return std::nullopt;
    }
    const auto window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(number));
    if (!IsWindow(window)) {
        return nullptr;
    }
    return window;
}

BOOL CALLBACK collect(HWND window, LPARAM windows) {
    reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
    return TRUE;
}

int listWindows(bool all) {
    std::vector<HWND> windows;
    EnumWindows(collect, reinterpret_cast<LPARAM>(&windows));
    JsonOutput out;
    out.beginArray();
    for (HWND window : windows) {
        if (all || IsWindowVisible(window)) {
            orvalix::gui_probe::describeWindow(out, window);
        }
    }
    out.endArray();
    print(out.text() + "\n");
    return 0;
}

int showText(HWND window) {
    JsonOutput out;
    out.beginObject();
    out.field("text", std::wstring_view(orvalix::gui_probe::windowText(window)));
    out.endObject();
    print(out.text() + "\n");
    return 0;
}

int clickButton(HWND dialog, int buttonId) {
    HWND button = GetDlgItem(dialog, buttonId);
    if (!button) {
        return kNoSuchWindow;
    }
    // Posted, not sent: the click may end the dialog, and we must not wait on its owner.
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return 0;
}

int showForeground() {
    JsonOutput out;
    out.beginObject();
    out.field("hwnd", static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(GetForegroundWindow())));
    out.endObject();
    print(out.text() + "\n");
    return 0;
}

int usage() {
    print("usage: orvalix-gui-probe windows [--all] | text HWND | click HWND ID | foreground\n");
    return kUsageError;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::vector<std::wstring_view> arguments(argv + 1, argv + argc);
    if (arguments.empty()) {
        return usage();
    }
    const std::wstring_view command = arguments[0];
    if (command == L"windows" && arguments.size() <= 2) {
        const bool all = arguments.size() == 2 && arguments[1] == L"--all";
        if (arguments.size() == 2 && !all) {
            return usage();
        }
        return listWindows(all);
    }
    if (command == L"foreground" && arguments.size() == 1) {
        return showForeground();
    }
    if ((command == L"text" && arguments.size() == 2) || (command == L"click" && arguments.size() == 3)) {
        const auto window = parseWindow(argv[2]);
        if (!window) {
            return usage();
        }
        if (!*window) {
            return kNoSuchWindow;
        }
        if (command == L"text") {
            return showText(*window);
        }
        const int buttonId = static_cast<int>(std::wcstol(argv[3], nullptr, 10));
        return clickButton(*window, buttonId);
    }
    return usage();
}
