#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/traffic/traffic_stream.hpp"

namespace orvalix {

// Record lines to append to a log file in one write, with where each line ends, so that a
// write that stops part way can be cut back to its last whole record.
class LogBlock {
public:
    // "<time>,<length>,<attribute>,<byte>,...\r\n" with the attribute as 8 and each byte as 2
    // lower-case hex digits; a time without local form leaves its field empty. A record that a
    // fault touched ends in one more field, "fault: NAME" (quoted as CSV when the name needs
    // it), which no byte field can be mistaken for.
    void add(std::span<const std::uint8_t> data, std::uint64_t time, std::uint32_t attribute,
             std::string_view fault = {});

    bool empty() const { return lineEnds_.empty(); }
    std::size_t recordCount() const { return lineEnds_.size(); }
    std::string_view text() const { return text_; }
    // Offset just past each line in text(), ascending.
    std::span<const std::size_t> lineEnds() const { return lineEnds_; }

private:
    std::string text_;
    std::vector<std::size_t> lineEnds_;
};

// What one write left in a log file.
struct LogWrite {
    std::size_t recordsWritten = 0;
    std::error_code error;  // why the rest is missing; empty when every record went in
};

// Appends bytes at the end of a file, making it when missing, and reports the system's
// reason when it cannot. A failed write may leave part of the bytes behind (a full disk).
// Tests put failures in through it.
using AppendBytes = std::function<std::error_code(const std::filesystem::path&, std::string_view)>;
std::error_code appendToFile(const std::filesystem::path& path, std::string_view bytes);

// Appends the block; a file that is new starts with the UTF-8 byte-order mark. When the
// write fails the file is cut back to its last whole record, and a new file left with no
// record is removed: a log file never ends inside a record.
LogWrite appendBlock(const std::filesystem::path& path, const LogBlock& block,
                     const AppendBytes& append = appendToFile);

// The stream's newest preTriggerCount + 1 records, as far as it holds them. The buffer
// should hold the stream's maximum record length.
// Records a fault touched carry its name, from the stream's environment.
LogBlock preTriggerBlock(TrafficStream& stream, std::int32_t preTriggerCount, std::span<std::uint8_t> buffer);

// Lines a running recording gathered during one pump pass over an environment, to be
// appended to its file at the pass's end.
struct PendingLog {
    std::filesystem::path path;
    LogBlock block;
};

// named-condition name -> trigger time of the recording -> its pending lines
using PendingLogRecords = std::map<std::u16string, std::map<std::uint64_t, PendingLog>, std::less<>>;

// Local time "yyyy/mm/dd hh:mm:ss.mmm"; empty when the time has no local form.
std::u16string formatTime(std::uint64_t fileTime);
std::string formatTimeNarrow(std::uint64_t fileTime);
// Local time "yyyymmdd_hhmmss_mmm", the part of a log file name; empty likewise.
std::u16string formatCompactTime(std::uint64_t fileTime);

// The name with every character that some file system refuses, and any name that would
// step out of its folder (".", "..", only dots and blanks, empty), turned into "_".
std::u16string safeFileName(std::u16string_view name);

// dataFolder/Logs/<environment>/<condition>-<compact time>.log, both folders made when missing;
// empty when a folder cannot be made or the path cannot be formed.
std::filesystem::path logPath(std::u16string_view dataFolder, std::u16string_view environment,
                              std::u16string_view conditionName, std::uint64_t triggerTime);

// The same path with "-<n>" before its extension: a-TIME.log, a-TIME-2.log, ...
std::filesystem::path numberedLogPath(const std::filesystem::path& path, int n);

}  // namespace orvalix
