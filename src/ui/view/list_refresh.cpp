#include "ui/view/list_refresh.hpp"

namespace orvalix::ui {

ListRefresh refreshList(std::int32_t oldCount, std::int32_t newCount, std::int32_t added, std::int32_t selected) {
    ListRefresh refresh;
    if (selected >= 0) {
        // The entries that left the front of the stream shift the selected one towards it.
        const std::int64_t dropped = std::int64_t{oldCount} + added - newCount;
        const std::int64_t moved = selected - dropped;
        if (moved != selected) {
            refresh.selection = moved < 0 ? -1 : static_cast<std::int32_t>(moved);
        }
    }
    // A growing list repaints through its new item count; a list whose rows changed in place
    // does not.
    refresh.invalidate = newCount < oldCount || (newCount == oldCount && added >= 1);
    return refresh;
}

bool followNewestRecord(bool markSelected, std::int32_t recordsAdded) { return !markSelected && recordsAdded >= 1; }

}  // namespace orvalix::ui
