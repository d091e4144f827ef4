#include "core/project/data_file_path.hpp"

#include <string>
#include <system_error>

#include "core/project/loaders.hpp"

namespace orvalix {

std::filesystem::path dataFilePath(std::u16string_view dataFolder, std::u16string_view fileName) {
    return std::filesystem::path(std::u16string(dataFolder)) / std::filesystem::path(std::u16string(fileName));
}

std::optional<std::filesystem::path> tryPath(std::u16string_view text) {
    try {
        return std::filesystem::path(std::u16string(text));
    } catch (const std::system_error&) {
        return std::nullopt;
    }
}

std::optional<std::filesystem::path> tryDataFilePath(std::u16string_view dataFolder, std::u16string_view fileName) {
    try {
        return dataFilePath(dataFolder, fileName);
    } catch (const std::system_error&) {
        return std::nullopt;
    }
}

}  // namespace orvalix
