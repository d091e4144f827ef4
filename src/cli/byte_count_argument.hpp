#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace orvalix::cli {

// A number of bytes above 0: decimal digits, optionally followed by K, M or G (either case)
// for 1024, 1024^2 or 1024^3 of them. Nothing for any other text or a count past 2^64 - 1.
std::optional<std::uint64_t> parseByteCount(std::string_view text);

}  // namespace orvalix::cli
