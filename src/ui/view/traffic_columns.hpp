#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/view/ui_texts.hpp"

namespace orvalix::ui {

enum class ColumnAlignment { Left, Right, Centre };

// One list column: its title, and how wide it is: the pixel width of the probe text in the
// list's font plus the padding, or the fallback plus the padding when it cannot be measured.
// A column without probe has the fixed width.
struct ColumnSpec {
    std::u16string title;
    std::u16string_view probe;
    int width = 0;  // fallback, or the fixed width when there is no probe
    ColumnAlignment alignment = ColumnAlignment::Left;
};

inline constexpr int kColumnPadding = 6;

std::vector<ColumnSpec> markListColumns(const UiTexts& texts);
std::vector<ColumnSpec> recordListColumns(const UiTexts& texts);
std::vector<ColumnSpec> byteListColumns(const UiTexts& texts);

// measured: the probe's width in pixels, nullopt when measuring failed.
int columnWidth(const ColumnSpec& column, std::optional<int> measured);

}  // namespace orvalix::ui
