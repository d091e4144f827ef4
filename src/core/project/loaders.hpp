#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/project/project.hpp"

namespace orvalix {

// File name suffixes of the data folder's files.
inline constexpr std::u16string_view kEnvironmentFileSuffix = u".Environments.csv";
inline constexpr std::u16string_view kSequenceFileSuffix = u".Sequences.csv";
inline constexpr std::u16string_view kNamedFileSuffix = u".Named.csv";
inline constexpr std::u16string_view kFrameFileSuffix = u".csv";

// The data folder joined with a file name.
std::filesystem::path dataFilePath(std::u16string_view dataFolder, std::u16string_view fileName);

// Fills target from the cell; target stays empty when the cell is missing or fails to compile.
void compileCell(const std::vector<std::u16string>& row, std::size_t column, CompiledExpression& target);

void findEnvironmentNames(std::u16string_view dataFolder, std::vector<std::u16string>& names);
void readEnvironmentFile(std::u16string_view dataFolder, std::u16string_view environmentName,
                         PortSettings& target);
void readSequenceFile(std::u16string_view dataFolder, std::u16string_view environmentName,
                      std::vector<SequenceStep>& steps);
void readNamedFile(std::u16string_view dataFolder, std::u16string_view environmentName,
                   std::vector<NamedCondition>& conditions);

// Whether a sequence or named-condition row is a comment (cell 0 trimmed begins with ";").
bool isCommentRow(const CsvRow& row);

// Reads frame files that are new or whose last-write time moved by more than 2 ms.
// Returns -1 when no frame file was read, 0 or more when a frame was replaced or removed.
int refreshFrames(std::u16string_view dataFolder, const EnvironmentMap& environments, FrameMap& frames,
                  FrameFileTimes& fileTimes);

// Replaces the whole project with the folder's contents; never fails as a whole.
void loadProject(std::u16string_view dataFolder, Project& project);

}  // namespace orvalix
