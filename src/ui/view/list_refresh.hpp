#pragma once

#include <cstdint>
#include <optional>

namespace orvalix::ui {

// What one pump refresh does to an owner-data list whose stream count went from oldCount to
// newCount while `added` entries were appended (the ring dropping the oldest ones).
struct ListRefresh {
    // The selection to set; -1 clears it. Empty: leave it as it is.
    std::optional<std::int32_t> selection;
    bool invalidate = false;

    friend bool operator==(const ListRefresh&, const ListRefresh&) = default;
};

// selected: the list's selected item, -1 for none.
ListRefresh refreshList(std::int32_t oldCount, std::int32_t newCount, std::int32_t added, std::int32_t selected);

// The record list follows the newest record while no mark is selected.
bool followNewestRecord(bool markSelected, std::int32_t recordsAdded);

}  // namespace orvalix::ui
