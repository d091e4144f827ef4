#include "ui/view/splitter_layout.hpp"

#include <gtest/gtest.h>

#include <tuple>

namespace orvalix::ui {
namespace {

constexpr Rect kClient{0, 0, 600, 400};

// Mark columns 100, record columns 200, scroll bar 17: bars at 117 and 338, laid out in kClient.
Splitters laidOutBars() {
    Splitters bars = initialSplitters(100, 200, 17);
    layoutPanes(bars, kClient);
    return bars;
}

TEST(SplitterLayout, BarsFollowTheColumnsAndPanesFillTheSpansBetweenThem) {
    Splitters bars = initialSplitters(100, 200, 17);
    EXPECT_EQ(bars, (Splitters{{117, 0, 121, 0}, {338, 0, 342, 0}}));
    EXPECT_EQ(layoutPanes(bars, kClient),
              (PaneRects{{0, 0, 117, 400}, {121, 0, 338, 400}, {342, 0, 600, 400}}));
    EXPECT_EQ(bars, (Splitters{{117, 0, 121, 400}, {338, 0, 342, 400}}));
    const std::tuple<int, int, SplitterBar> hits[] = {
        {117, 0, SplitterBar::First}, {120, 399, SplitterBar::First}, {121, 5, SplitterBar::None},
        {338, 5, SplitterBar::Second}, {118, 400, SplitterBar::None}, {339, -1, SplitterBar::None}};
    for (const auto& [x, y, bar] : hits) EXPECT_EQ(splitterAt(bars, x, y), bar) << x << ',' << y;
}

TEST(SplitterLayout, DraggingPushesTheOtherBarAndKeepsTheMargins) {
    // dragged bar, new left -> first bar, second bar; neither comes within 30 pixels of the
    // other or of the client's edges.
    const std::tuple<SplitterBar, int, Rect, Rect> cases[] = {
        {SplitterBar::First, 200, {200, 0, 204, 400}, {338, 0, 342, 400}},
        {SplitterBar::First, 10, {30, 0, 34, 400}, {338, 0, 342, 400}},
        {SplitterBar::First, 320, {320, 0, 324, 400}, {354, 0, 358, 400}},  // pushed
        {SplitterBar::First, 534, {534, 0, 538, 400}, {570, 0, 574, 400}},  // pushed to the edge
        {SplitterBar::First, 590, {536, 0, 540, 400}, {570, 0, 574, 400}},
        {SplitterBar::Second, 500, {117, 0, 121, 400}, {500, 0, 504, 400}},
        {SplitterBar::Second, 590, {117, 0, 121, 400}, {566, 0, 570, 400}},
        {SplitterBar::Second, 130, {96, 0, 100, 400}, {130, 0, 134, 400}},  // pushed
        {SplitterBar::Second, 10, {30, 0, 34, 400}, {64, 0, 68, 400}},      // pushed to the edge
        {SplitterBar::None, 10, {117, 0, 121, 400}, {338, 0, 342, 400}},
    };
    for (const auto& [dragged, left, first, second] : cases) {
        Splitters bars = laidOutBars();
        dragSplitter(bars, dragged, left, kClient);
        EXPECT_EQ(bars, (Splitters{first, second})) << static_cast<int>(dragged) << " to " << left;
    }
}

}  // namespace
}  // namespace orvalix::ui
