#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace orvalix {

// A path from wide text, or nothing when the text cannot be a path on this platform (an
// unpaired surrogate where paths are byte strings). Loaders skip such files instead of failing.
std::optional<std::filesystem::path> tryPath(std::u16string_view text);

// dataFilePath that gives nothing instead of throwing.
std::optional<std::filesystem::path> tryDataFilePath(std::u16string_view dataFolder, std::u16string_view fileName);

}  // namespace orvalix
