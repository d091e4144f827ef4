#pragma once

#include <cstdint>

namespace orvalix::ui {

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    friend bool operator==(const Rect&, const Rect&) = default;
};

inline constexpr std::int32_t kSplitterWidth = 4;
// Least distance kept between a bar and the client's edges and between the two bars.
inline constexpr std::int32_t kSplitterMargin = 30;

// The two bars of a traffic window: first between mark and record list, second between record
// and byte list.
struct Splitters {
    Rect first;
    Rect second;

    friend bool operator==(const Splitters&, const Splitters&) = default;
};

enum class SplitterBar { None, First, Second };

// Bars placed after the column widths of the lists before them, each plus a scroll bar.
Splitters initialSplitters(std::int32_t markColumnsWidth, std::int32_t recordColumnsWidth,
                           std::int32_t scrollBarWidth);

SplitterBar splitterAt(const Splitters& bars, std::int32_t x, std::int32_t y);

// Moves the dragged bar so that its left edge is at `left` (the cursor plus the offset taken
// at the press), pushing the other bar and keeping the margins as far as the client allows.
void dragSplitter(Splitters& bars, SplitterBar dragged, std::int32_t left, const Rect& client);

struct PaneRects {
    Rect markList;
    Rect recordList;
    Rect byteList;

    friend bool operator==(const PaneRects&, const PaneRects&) = default;
};

// Stretches both bars over the client's height and gives each list its span between them.
PaneRects layoutPanes(Splitters& bars, const Rect& client);

}  // namespace orvalix::ui
