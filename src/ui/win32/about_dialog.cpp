#include "ui/win32/about_dialog.hpp"

#include "ui/view/command_ids.hpp"
#include "ui/view/window_texts.hpp"
#include "ui/win32/version_info.hpp"

namespace orvalix::ui::win32 {
namespace {

constexpr int kIconSize = 128;

INT_PTR CALLBACK aboutProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        const std::u16string product = productName();
        const std::u16string line = aboutVersionLine(product, fileVersion().high);
        ::SetWindowTextW(dialog, wide(product));
        ::SetDlgItemTextW(dialog, ORVALIX_IDC_ABOUT_VERSION, wide(line));
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            ::EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (wParam != ORVALIX_IDC_ABOUT_ICON || item == nullptr) {
            return FALSE;
        }
        const auto instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
        const auto icon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(ORVALIX_IDI_APPLICATION),
                                                          IMAGE_ICON, kIconSize, kIconSize, LR_DEFAULTCOLOR));
        if (icon != nullptr) {
            ::DrawIconEx(item->hDC, item->rcItem.left, item->rcItem.top, icon, kIconSize, kIconSize, 0, nullptr,
                         DI_NORMAL);
            ::DestroyIcon(icon);
        }
        return TRUE;
    }
    default:
        return FALSE;
    }
}

}  // namespace

void showAboutDialog(HINSTANCE instance, HWND owner) {
    ::DialogBoxParamW(instance, MAKEINTRESOURCEW(ORVALIX_IDD_ABOUT), owner, &aboutProcedure,
                      reinterpret_cast<LPARAM>(owner));
}

}  // namespace orvalix::ui::win32
