#include "ui/view/splitter_layout.hpp"

namespace orvalix::ui {

namespace {

bool contains(const Rect& r, std::int32_t x, std::int32_t y) {
    return r.left <= x && x < r.right && r.top <= y && y < r.bottom;
}

std::int32_t widthOf(const Rect& r) { return r.right - r.left; }

// The first bar goes where it is dragged, pushing the second ahead of it without letting that
// one leave the client; the first then keeps its margins to the client's left edge and the second.
void dragFirst(Splitters& bars, std::int32_t left, const Rect& client) {
    Rect& second = bars.second;
    const std::int32_t secondWidth = widthOf(second);
    std::int32_t right = left + kSplitterWidth;
    if (right > second.left - kSplitterMargin) {
        second.left = right + kSplitterMargin;
        second.right = second.left + secondWidth;
    }
    if (second.right > client.right - kSplitterMargin) {
        second.left = client.right - kSplitterMargin;
        second.right = client.right - kSplitterMargin + secondWidth;
    }
    if (left >= client.left + kSplitterMargin) {
        if (right > second.left - kSplitterMargin) {
            right = second.left - kSplitterMargin;
            left = right - kSplitterWidth;
        }
    } else {
        left = client.left + kSplitterMargin;
        right = left + kSplitterWidth;
    }
    bars.first.left = left;
    bars.first.right = right;
}

// The mirror image: the second bar pushes the first towards the client's left edge.
void dragSecond(Splitters& bars, std::int32_t left, const Rect& client) {
    Rect& first = bars.first;
    const std::int32_t firstWidth = widthOf(first);
    std::int32_t right = left + kSplitterWidth;
    if (left < first.right + kSplitterMargin) {
        first.right = left - kSplitterMargin;
        first.left = first.right - firstWidth;
    }
    if (first.left < client.left + kSplitterMargin) {
        first.left = client.left + kSplitterMargin;
        first.right = first.left + firstWidth;
    }
    if (right <= client.right - kSplitterMargin) {
        if (left < first.right + kSplitterMargin) {
            left = first.right + kSplitterMargin;
            right = left + kSplitterWidth;
        }
    } else {
        right = client.right - kSplitterMargin;
        left = right - kSplitterWidth;
    }
    bars.second.left = left;
    bars.second.right = right;
}

}  // namespace

Splitters initialSplitters(std::int32_t markColumnsWidth, std::int32_t recordColumnsWidth,
                           std::int32_t scrollBarWidth) {
    Splitters bars;
    bars.first.left = markColumnsWidth + scrollBarWidth;
    bars.first.right = bars.first.left + kSplitterWidth;
    bars.second.left = bars.first.right + recordColumnsWidth + scrollBarWidth;
    bars.second.right = bars.second.left + kSplitterWidth;
    return bars;
}

SplitterBar splitterAt(const Splitters& bars, std::int32_t x, std::int32_t y) {
    if (contains(bars.first, x, y)) {
        return SplitterBar::First;
    }
    if (contains(bars.second, x, y)) {
        return SplitterBar::Second;
    }
    return SplitterBar::None;
}

void dragSplitter(Splitters& bars, SplitterBar dragged, std::int32_t left, const Rect& client) {
    switch (dragged) {
    case SplitterBar::First:
        dragFirst(bars, left, client);
        return;
    case SplitterBar::Second:
        dragSecond(bars, left, client);
        return;
    case SplitterBar::None:
        return;
    }
}

PaneRects layoutPanes(Splitters& bars, const Rect& client) {
    bars.first.top = bars.second.top = client.top;
    bars.first.bottom = bars.second.bottom = client.bottom;
    return PaneRects{
        .markList = {client.left, client.top, bars.first.left, client.bottom},
        .recordList = {bars.first.right, client.top, bars.second.left, client.bottom},
        .byteList = {bars.second.right, client.top, client.right, client.bottom},
    };
}

}  // namespace orvalix::ui
