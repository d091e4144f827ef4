#include "ui/view/command_line_folder.hpp"

#include <vector>

#include "core/text/text_split.hpp"

namespace orvalix::ui {

std::optional<std::u16string> dataFolderFromCommandLine(std::u16string_view commandLine,
                                                        const FolderQueries& queries) {
    std::vector<std::u16string> pieces;
    splitQuoted(commandLine, u" ", pieces);
    for (const std::u16string& piece : pieces) {
        // What fits the MAX_PATH buffer beside its terminator.
        std::u16string path = piece.substr(0, kMaxCommandLinePath);
        if (queries.isDirectory(path)) {
            return path;
        }
        // A file names the folder it lies in.
        std::u16string parent = queries.parent(path);
        if (queries.isDirectory(parent)) {
            return parent;
        }
    }
    return std::nullopt;
}

}  // namespace orvalix::ui
