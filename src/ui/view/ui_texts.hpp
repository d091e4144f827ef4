#pragma once

#include <string>
#include <string_view>

#include "core/text/language.hpp"

namespace orvalix::ui {

// The user-facing texts of the desktop application that follow the user's language.
// The menu and the folder dialog's title exist in Japanese only and live in the resources, but
// for the capture item, which names what it does next.
struct UiTexts {
    std::u16string_view timeColumn;
    std::u16string_view lengthColumn;
    std::u16string_view nameColumn;
    std::u16string_view attributeColumn;
    std::u16string_view offsetColumn;
    std::u16string_view exitPrompt;
    std::u16string_view onArrivalItem;    // checked: answer on arrival from the next start
    std::u16string_view faultSeedItem;    // opens the seed dialog
    std::u16string_view faultSeedTitle;
    std::u16string_view faultSeedPrompt;  // above the seed's field
    std::u16string_view faultSeedInvalid; // a text that is no seed
    std::u16string_view captureItem;      // starts a capture: a save dialog follows
    std::u16string_view stopCaptureItem;  // while one runs
    std::u16string_view captureFailed;    // the error box when the file cannot be made
};

const UiTexts& uiTexts(Language language);

// The folder dialog's title (one language only).
inline constexpr std::u16string_view kFolderDialogTitle = u"データフォルダを選択してください";

}  // namespace orvalix::ui
