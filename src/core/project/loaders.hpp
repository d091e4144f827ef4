#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/expression/compile_expression.hpp"
#include "core/project/project.hpp"
#include "core/text/csv_reader.hpp"

namespace orvalix {

// File name suffixes of the data folder's files.
inline constexpr std::u16string_view kEnvironmentFileSuffix = u".Environments.csv";
inline constexpr std::u16string_view kSequenceFileSuffix = u".Sequences.csv";
inline constexpr std::u16string_view kNamedFileSuffix = u".Named.csv";
inline constexpr std::u16string_view kFrameFileSuffix = u".csv";

// The data folder joined with a file name. Throws std::filesystem::filesystem_error when a
// text cannot be converted to the platform's path encoding (an unpaired surrogate on POSIX).
std::filesystem::path dataFilePath(std::u16string_view dataFolder, std::u16string_view fileName);

// Fills target from the cell; target stays empty when the cell is missing or fails to compile.
void compileCell(const std::vector<std::u16string>& row, std::size_t column, CompiledExpression& target,
                 ExpressionPlace place = ExpressionPlace::Value);

// Appends the environment names of the folder's "*.Environments.csv" files in listing order:
// the text before the first dot, when it is at least two characters long and a number of
// zero or more follows its first character (P1, Q0x10). Two files may yield one name twice.
void findEnvironmentNames(std::u16string_view dataFolder, std::vector<std::u16string>& names);

// The rows of the environment's file; false, and the table unchanged, when it cannot be read.
bool readEnvironmentTable(std::u16string_view dataFolder, std::u16string_view environmentName, CsvTable& table);
// The port that the environment's file gives (see parsePortOptions); an unreadable file leaves
// the target unchanged.
void readEnvironmentFile(std::u16string_view dataFolder, std::u16string_view environmentName,
                         PortOptions& target);
// Append one record per row after the header, comment rows skipped; an empty line is a record.
void readSequenceFile(std::u16string_view dataFolder, std::u16string_view environmentName,
                      std::vector<SequenceStep>& steps);
void readNamedFile(std::u16string_view dataFolder, std::u16string_view environmentName,
                   std::vector<NamedCondition>& conditions);
// The rules of the environment's fault file (optional); rows that make no rule are left out
// (check names them).
void readFaultFile(std::u16string_view dataFolder, std::u16string_view environmentName,
                   std::vector<FaultRule>& faults);
// The 1-based file row of each step that readSequenceFile reads now (the header is row 1).
std::vector<std::size_t> sequenceFileRows(std::u16string_view dataFolder, std::u16string_view environmentName);

// The file of a frame, or nothing when the frame name cannot name a file inside the data
// folder (a separator, a drive or a NUL in it): frame names are cell texts, not paths.
std::optional<std::filesystem::path> frameFilePath(std::u16string_view dataFolder, std::u16string_view frameName);

// Whether a sequence or named-condition row is a comment: cell 0, trimmed of blanks, tabs and
// ideographic spaces, begins with ";".
bool isCommentRow(const CsvRow& row);

// Reads the frame files that the steps name and that are new or whose last-write time moved
// by more than 2 ms; a failed read removes the frame. A frame name holding a path separator
// ('/' or '\\') or a drive names no file and is never read. Returns -1 when no frame file was
// read, otherwise the number of frames stored (0 when the reads only removed frames).
int refreshFrames(std::u16string_view dataFolder, const EnvironmentMap& environments, FrameMap& frames,
                  FrameFileTimes& fileTimes);

// Replaces the whole project with the folder's contents; never fails as a whole.
void loadProject(std::u16string_view dataFolder, Project& project);

}  // namespace orvalix
