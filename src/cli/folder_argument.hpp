#pragma once

#include <string>

#include "cli/argument_read.hpp"

namespace orvalix::cli {

// The data folder named by a UTF-8 argument, as wide text, when the argument names a directory.
ArgumentRead<std::u16string> readFolderArgument(const std::string& argument);

}  // namespace orvalix::cli
