#pragma once

#include <cstdint>
#include <string_view>

namespace orvalix {

// The hash by which the names table files a name (FNV-1a over the UTF-16 code units). A
// compiled program keeps the hash of each name it reads, so that evaluating hashes nothing.
constexpr std::uint32_t hashName(std::u16string_view name) {
    std::uint32_t hash = 2166136261U;
    for (const char16_t unit : name) {
        hash = (hash ^ static_cast<std::uint32_t>(unit)) * 16777619U;
    }
    return hash;
}

}  // namespace orvalix
