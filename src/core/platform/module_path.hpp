#pragma once

#include <filesystem>

namespace orvalix::platform {

// The folder of the running executable; the current folder when it cannot be found.
std::filesystem::path executableFolder();

}  // namespace orvalix::platform
