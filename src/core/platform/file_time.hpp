#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace orvalix::platform {

// Last-write time as a FILETIME value (100 ns since 1601, UTC); empty when the file cannot
// be opened for reading or queried.
std::optional<std::uint64_t> fileLastWriteTime(const std::filesystem::path& path);

}  // namespace orvalix::platform
