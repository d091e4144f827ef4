#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace orvalix::ui {

enum class MenuPopup { File, Run, View, Help, None };

// Which popup of the menu bar sits at a position. While an MDI child is maximized the frame
// puts the child's system menu in front, so every popup moves one place to the right.
MenuPopup popupAt(int position, bool maximizedChildInMenuBar);

// What the View popup holds after Tile and Cascade: nothing without usable environments,
// otherwise a separator and one item per usable environment k with command 30000 + k.
struct MenuEntry {
    bool separator = false;
    int command = 0;
    std::u16string text;

    friend bool operator==(const MenuEntry&, const MenuEntry&) = default;
};
std::vector<MenuEntry> environmentMenuEntries(const std::vector<std::u16string>& usableEnvironments);

// Number of leading View items that stay when the environment list is rebuilt (Tile, Cascade).
inline constexpr int kFixedViewItems = 2;

// The usable-environment index a command shows, when it is a show-environment command for one.
std::optional<std::size_t> environmentOfCommand(int command, std::size_t usableCount);

}  // namespace orvalix::ui
