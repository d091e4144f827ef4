#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "core/platform/file_time.hpp"
#include "core/project/data_file_path.hpp"
#include "core/project/loaders.hpp"
#include "core/project/record_access.hpp"
#include "core/text/csv_reader.hpp"

namespace orvalix {
namespace {

// 2 ms in FILETIME units: a smaller move of the time is taken for no change.
constexpr std::uint64_t kTimeChangeThreshold = 20000;
// Rows 0 and 1 are headers; every further row is one byte position.
constexpr std::size_t kFirstDataRow = 2;
constexpr std::size_t kExpressionColumn = 1;

std::set<std::u16string> collectFrameNames(const EnvironmentMap& environments) {
    std::set<std::u16string> frames;
    for (const auto& entry : environments) {
        for (const SequenceStep& step : entry.second.sequence) {
            frames.insert(frameName(step));
        }
    }
    return frames;
}

std::uint64_t timeDistance(std::uint64_t a, std::uint64_t b) { return a > b ? a - b : b - a; }

// Records the file's time and tells whether the file is to be read. A file whose time
// cannot be taken (it is gone, for one) is read, and its recorded time is forgotten: a file
// restored later with its old time must still be read again.
bool isDueForReading(const std::filesystem::path& path, const std::u16string& frame, FrameFileTimes& fileTimes) {
    const std::optional<std::uint64_t> time = platform::fileLastWriteTime(path);
    if (!time) {
        fileTimes.erase(frame);
        return true;
    }
    const auto recorded = fileTimes.find(frame);
    const bool due = recorded == fileTimes.end() || timeDistance(*time, recorded->second) > kTimeChangeThreshold;
    fileTimes.insert_or_assign(frame, *time);
    return due;
}

std::optional<FrameDefinition> readFrameFile(const std::filesystem::path& path) {
    const std::optional<CsvTable> read = readCsvFile(path).contents;
    if (!read) {
        return std::nullopt;
    }
    const CsvTable& table = *read;
    FrameDefinition definition;
    for (std::size_t r = kFirstDataRow; r < table.size(); ++r) {
        compileCell(table[r], kExpressionColumn, definition.emplace_back(), ExpressionPlace::FrameRow);
    }
    return definition;
}

}  // namespace

std::optional<std::filesystem::path> frameFilePath(std::u16string_view dataFolder, std::u16string_view frame) {
    if (frame.find_first_of(u"/\\") != std::u16string_view::npos || frame.find(u'\0') != std::u16string_view::npos) {
        return std::nullopt;
    }
    const std::u16string fileName = std::u16string(frame) + std::u16string(kFrameFileSuffix);
    const std::optional<std::filesystem::path> relative = tryPath(fileName);
    if (!relative || relative->has_root_path()) {
        return std::nullopt;
    }
    return tryDataFilePath(dataFolder, fileName);
}


int refreshFrames(std::u16string_view dataFolder, const EnvironmentMap& environments, FrameMap& frames,
                  FrameFileTimes& fileTimes) {
    int stored = -1;
    for (const std::u16string& frame : collectFrameNames(environments)) {
        const std::optional<std::filesystem::path> path = frameFilePath(dataFolder, frame);
        if (!path || !isDueForReading(*path, frame, fileTimes)) {
            continue;
        }
        std::optional<FrameDefinition> definition = readFrameFile(*path);
        stored = std::max(stored, 0);
        if (!definition) {
            frames.erase(frame);
            continue;
        }
        frames.insert_or_assign(frame, std::move(*definition));
        ++stored;
    }
    return stored;
}

}  // namespace orvalix
