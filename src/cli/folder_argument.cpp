#include "cli/folder_argument.hpp"

#include <filesystem>
#include <system_error>
#include <utility>

#include "core/text/text_conversion.hpp"

namespace orvalix::cli {

ArgumentRead<std::u16string> readFolderArgument(const std::string& argument) {
    std::u16string wide = toWide(argument);
    if (wide.empty()) {
        return {std::nullopt, "'" + argument + "' is not a folder name (empty or not UTF-8)"};
    }
    std::error_code error;
    if (!std::filesystem::is_directory(std::filesystem::path(wide), error)) {
        return {std::nullopt, "'" + argument + "' is not a folder"};
    }
    return {std::move(wide), {}};
}

}  // namespace orvalix::cli
