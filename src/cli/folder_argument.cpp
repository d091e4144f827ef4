#include "cli/folder_argument.hpp"

#include <filesystem>
#include <system_error>

#include "core/text/text_conversion.hpp"

namespace orvalix::cli {

std::string readFolderArgument(const std::string& argument, std::u16string& folder) {
    std::u16string wide = toWide(argument);
    if (wide.empty()) {
        return "'" + argument + "' is not a folder name (empty or not UTF-8)";
    }
    std::error_code error;
    if (!std::filesystem::is_directory(std::filesystem::path(wide), error)) {
        return "'" + argument + "' is not a folder";
    }
    folder = std::move(wide);
    return {};
}

}  // namespace orvalix::cli
