#pragma once

#include <optional>
#include <string>

namespace orvalix::cli {

// What reading a command-line argument gives: its value, or why there is none.
template <typename Value>
struct ArgumentRead {
    std::optional<Value> value;
    std::string error;  // for a user, when there is no value
};

}  // namespace orvalix::cli
