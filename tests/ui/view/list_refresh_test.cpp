#include "ui/view/list_refresh.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

namespace orvalix::ui {
namespace {

constexpr std::optional<std::int32_t> kKeep;

TEST(ListRefresh, SelectionShiftsWithTheDroppedEntriesAndOnlyChangedRowsAreInvalidated) {
    // old count, new count, added, selected -> refresh
    const std::tuple<std::int32_t, std::int32_t, std::int32_t, std::int32_t, ListRefresh> cases[] = {
        {3, 3, 1, 2, {1, true}},       // full ring: the third row becomes the second
        {3, 3, 1, 0, {-1, true}},      // the selected first row left the ring
        {3, 3, 1, -1, {kKeep, true}},  // nothing selected stays so
        {3, 3, 2, 2, {0, true}},
        {1, 2, 1, 0, {kKeep, false}},  // growing: the new count repaints
        {3, 3, 0, 1, {kKeep, false}},  // nothing happened
        {3, 0, 0, 1, {-1, true}},      // cleared by a new run
        {5, 4, 1, 4, {2, true}},       // shrunk and dropped
    };
    for (const auto& [oldCount, newCount, added, selected, expected] : cases) {
        EXPECT_EQ(refreshList(oldCount, newCount, added, selected), expected)
            << oldCount << ' ' << newCount << ' ' << added << ' ' << selected;
    }
}

TEST(ListRefresh, RecordsAreFollowedOnlyWhileNoMarkIsSelected) {
    EXPECT_TRUE(followNewestRecord(false, 1));
    EXPECT_FALSE(followNewestRecord(true, 1));
    EXPECT_FALSE(followNewestRecord(false, 0));
}

}  // namespace
}  // namespace orvalix::ui
