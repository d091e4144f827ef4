#include <algorithm>
#include <exception>
#include <system_error>

#include "core/text/text_conversion.hpp"
#include "core/traffic/log_files.hpp"

namespace orvalix {
namespace {

constexpr char16_t kReplacement = u'_';
constexpr std::u16string_view kRefused = u"<>:\"/\\|?*";

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

bool ensureDirectory(const std::filesystem::path& directory) {
    std::error_code error;
    if (std::filesystem::is_directory(directory, error)) {
        return true;
    }
    std::filesystem::create_directory(directory, error);
    return !error && std::filesystem::is_directory(directory, error);
}

}  // namespace

std::u16string safeFileName(std::u16string_view name) {
    std::u16string safe(name);
    for (std::size_t i = 0; i < safe.size(); ++i) {
        const char16_t c = safe[i];
        if (isHighSurrogate(c) && i + 1 < safe.size() && isLowSurrogate(safe[i + 1])) {
            ++i;  // a pair stands for one character outside the basic plane
            continue;
        }
        // A lone surrogate has no form in the file system's encoding.
        if (c < 0x20 || kRefused.find(c) != std::u16string_view::npos || isHighSurrogate(c) || isLowSurrogate(c)) {
            safe[i] = kReplacement;
        }
    }
    // "." and ".." name folders, and Windows drops trailing dots and blanks: such a name
    // would not be a name of its own.
    if (std::all_of(safe.begin(), safe.end(), [](char16_t c) { return c == u'.' || c == u' '; })) {
        safe.assign(std::max<std::size_t>(safe.size(), 1), kReplacement);
    }
    return safe;
}

std::filesystem::path logPath(std::u16string_view dataFolder, std::u16string_view environment,
                              std::u16string_view conditionName, std::uint64_t triggerTime) {
    try {
        std::filesystem::path directory = std::filesystem::path(std::u16string(dataFolder)) / u"Logs";
        if (!ensureDirectory(directory)) {
            return {};
        }
        directory /= std::filesystem::path(safeFileName(environment));
        if (!ensureDirectory(directory)) {
            return {};
        }
        std::u16string fileName = safeFileName(conditionName);
        fileName += u'-';
        fileName += formatCompactTime(triggerTime);
        fileName += u".log";
        return directory / std::filesystem::path(fileName);
    } catch (const std::exception&) {
        return {};  // a folder name that has no form in the file system's encoding
    }
}

std::filesystem::path numberedLogPath(const std::filesystem::path& path, int n) {
    std::filesystem::path numbered = path;
    numbered.replace_filename(path.stem().u16string() + u"-" + toWide(std::to_string(n)) +
                              path.extension().u16string());
    return numbered;
}

}  // namespace orvalix
