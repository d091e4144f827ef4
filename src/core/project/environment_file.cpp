#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "core/platform/file_names.hpp"
#include "core/ports/parse_port_options.hpp"
#include "core/project/data_file_path.hpp"
#include "core/project/loaders.hpp"
#include "core/text/csv_reader.hpp"
#include "core/text/read_integer.hpp"
#include "core/text/text_split.hpp"

namespace orvalix {
namespace {

char16_t foldAsciiCase(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool endsWith(std::u16string_view text, std::u16string_view suffix, bool ignoreCase) {
    if (text.size() < suffix.size()) {
        return false;
    }
    const std::u16string_view tail = text.substr(text.size() - suffix.size());
    if (!ignoreCase) {
        return tail == suffix;
    }
    for (std::size_t i = 0; i < tail.size(); ++i) {
        if (foldAsciiCase(tail[i]) != foldAsciiCase(suffix[i])) {
            return false;
        }
    }
    return true;
}

// The text before the first dot, when it is a letter-and-number name such as P1 or Q0x10.
std::optional<std::u16string> environmentNameOf(std::u16string_view fileName) {
    std::vector<std::u16string> pieces;
    splitText(fileName, u".", pieces);
    std::u16string candidate = std::move(pieces.front());
    if (candidate.size() < 2) {
        return std::nullopt;
    }
    const NumberReading number = readInteger(std::u16string_view(candidate).substr(1));
    if (!number.digitsRead || number.value < 0) {
        return std::nullopt;
    }
    return candidate;
}

// The entry's file name as wide text; nothing when it is not valid in the platform's encoding.
std::optional<std::u16string> wideFileName(const std::filesystem::directory_entry& entry) {
    try {
        return entry.path().filename().u16string();
    } catch (const std::system_error&) {
        return std::nullopt;
    }
}

}  // namespace

void findEnvironmentNames(std::u16string_view dataFolder, std::vector<std::u16string>& names) {
    const std::optional<std::filesystem::path> folder = tryPath(dataFolder);
    if (!folder) {
        return;
    }
    const bool ignoreCase = platform::fileNamesIgnoreCase();
    std::error_code error;
    std::filesystem::directory_iterator entries(*folder, error);
    if (error) {
        return;
    }
    // Listing order is the file system's; the environment map orders the names.
    for (; entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        if (error) {
            return;
        }
        std::error_code typeError;
        if (!entries->is_regular_file(typeError)) {
            continue;
        }
        const std::optional<std::u16string> fileName = wideFileName(*entries);
        if (!fileName || !endsWith(*fileName, kEnvironmentFileSuffix, ignoreCase)) {
            continue;
        }
        if (std::optional<std::u16string> environmentName = environmentNameOf(*fileName)) {
            names.push_back(std::move(*environmentName));
        }
    }
}

bool readEnvironmentTable(std::u16string_view dataFolder, std::u16string_view environmentName, CsvTable& table) {
    const std::optional<std::filesystem::path> path =
        tryDataFilePath(dataFolder, std::u16string(environmentName) + std::u16string(kEnvironmentFileSuffix));
    if (!path) {
        return false;
    }
    FileRead<CsvTable> read = readCsvFile(*path);
    if (!read.contents) {
        return false;
    }
    table = std::move(*read.contents);
    return true;
}

void readEnvironmentFile(std::u16string_view dataFolder, std::u16string_view environmentName,
                         PortOptions& target) {
    CsvTable table;
    if (readEnvironmentTable(dataFolder, environmentName, table)) {
        target = parsePortOptions(table);
    }
}

}  // namespace orvalix
