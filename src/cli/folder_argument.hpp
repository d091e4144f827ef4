#pragma once

#include <optional>
#include <string>

namespace orvalix::cli {

// The data folder an argument names, or why it names none.
struct FolderArgument {
    std::optional<std::u16string> folder;
    std::string error;  // for a user, when there is no folder
};

// The data folder named by a UTF-8 argument, as wide text, when the argument names a directory.
FolderArgument readFolderArgument(const std::string& argument);

}  // namespace orvalix::cli
