#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvalix::ui {

// "<product> - [ <folder> ]" while the folder exists on disk, the product name alone otherwise.
std::u16string mainWindowTitle(std::u16string_view productName, std::u16string_view dataFolder,
                               bool folderExists);

// "<product> - Version <major>.<minor>" from the high half of the file version.
std::u16string aboutVersionLine(std::u16string_view productName, std::uint32_t fileVersionHigh);

// The version resource's string-table key for a translation: "\StringFileInfo\041104b0\<name>".
std::u16string versionStringKey(std::uint16_t language, std::uint16_t codePage, std::u16string_view name);

}  // namespace orvalix::ui
