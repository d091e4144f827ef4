#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace orvalix::ui {

// What picking the data folder asks of the file system.
struct FolderQueries {
    std::function<bool(std::u16string_view path)> isDirectory;
    // The path with its last element removed (as PathRemoveFileSpecW does).
    std::function<std::u16string(std::u16string_view path)> parent;
};

// Longest piece looked at: the rest of a MAX_PATH buffer.
inline constexpr std::size_t kMaxCommandLinePath = 259;

// The command line split at single spaces (double quotes group, adjacent spaces give empty
// pieces); the first piece, cut to 259 characters, that is a directory or whose parent is one.
std::optional<std::u16string> dataFolderFromCommandLine(std::u16string_view commandLine,
                                                        const FolderQueries& queries);

}  // namespace orvalix::ui
