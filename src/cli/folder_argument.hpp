#pragma once

#include <string>

namespace orvalix::cli {

// The data folder named by a UTF-8 argument, as wide text. Returns an error text, empty when
// the argument names a directory.
std::string readFolderArgument(const std::string& argument, std::u16string& folder);

}  // namespace orvalix::cli
