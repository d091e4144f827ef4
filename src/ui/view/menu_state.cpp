#include "ui/view/menu_state.hpp"

#include "ui/view/command_ids.hpp"

namespace orvalix::ui {

MenuPopup popupAt(int position, bool maximizedChildInMenuBar) {
    const int popup = maximizedChildInMenuBar ? position - 1 : position;
    switch (popup) {
    case 0:
        return MenuPopup::File;
    case 1:
        return MenuPopup::Run;
    case 2:
        return MenuPopup::View;
    case 3:
        return MenuPopup::Help;
    default:
        return MenuPopup::None;
    }
}

std::vector<MenuEntry> environmentMenuEntries(const std::vector<std::u16string>& usableEnvironments) {
    std::vector<MenuEntry> entries;
    if (usableEnvironments.empty()) {
        return entries;
    }
    entries.reserve(usableEnvironments.size() + 1);
    entries.push_back(MenuEntry{.separator = true, .command = 0, .text = {}});
    int command = kCommandShowEnvironment;
    for (const std::u16string& name : usableEnvironments) {
        entries.push_back(MenuEntry{.command = command++, .text = name});
    }
    return entries;
}

std::optional<std::size_t> environmentOfCommand(int command, std::size_t usableCount) {
    if (command < kCommandShowEnvironment) {
        return std::nullopt;
    }
    const auto k = static_cast<std::size_t>(command - kCommandShowEnvironment);
    if (k >= usableCount) {
        return std::nullopt;
    }
    return k;
}

}  // namespace orvalix::ui
