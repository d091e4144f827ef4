#include "ui/win32/fault_seed_dialog.hpp"

#include <array>
#include <string>

#include "core/platform/user_language.hpp"
#include "core/project/fault_rule.hpp"
#include "core/text/text_conversion.hpp"
#include "ui/view/command_ids.hpp"
#include "ui/view/ui_texts.hpp"

namespace orvalix::ui::win32 {
namespace {

// What the dialog procedure reads and fills, through the dialog's user data.
struct SeedChoice {
    std::uint64_t seed;
    Language language;
};

INT_PTR CALLBACK seedProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* choice = reinterpret_cast<SeedChoice*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        choice = reinterpret_cast<SeedChoice*>(lParam);
        const auto& texts = uiTexts(choice->language);
        ::SetWindowTextW(dialog, wide(std::u16string(texts.faultSeedTitle)));
        ::SetDlgItemTextW(dialog, ORVALIX_IDC_FAULT_SEED_PROMPT, wide(std::u16string(texts.faultSeedPrompt)));
        ::SetDlgItemTextW(dialog, ORVALIX_IDC_FAULT_SEED, wide(orvalix::toWide(std::to_string(choice->seed))));
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            std::array<wchar_t, 32> text{};
            ::GetDlgItemTextW(dialog, ORVALIX_IDC_FAULT_SEED, text.data(), static_cast<int>(text.size()));
            const std::optional<std::uint64_t> seed =
                orvalix::parseFaultSeed(orvalix::toNarrow(fromWide(text.data())));
            if (!seed) {
                const auto& texts = uiTexts(choice->language);
                ::MessageBoxW(dialog, wide(std::u16string(texts.faultSeedInvalid)),
                              wide(std::u16string(texts.faultSeedTitle)), MB_ICONEXCLAMATION);
                return TRUE;
            }
            choice->seed = *seed;
            ::EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            ::EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

std::optional<std::uint64_t> askFaultSeed(HINSTANCE instance, HWND owner, std::uint64_t current) {
    SeedChoice choice{current, orvalix::platform::userLanguage()};
    const INT_PTR answer = ::DialogBoxParamW(instance, MAKEINTRESOURCEW(ORVALIX_IDD_FAULT_SEED), owner,
                                             &seedProcedure, reinterpret_cast<LPARAM>(&choice));
    return answer == IDOK ? std::optional(choice.seed) : std::nullopt;
}

}  // namespace orvalix::ui::win32
