#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/traffic/traffic_stream.hpp"

namespace orvalix {

// A record copied for a trigger recording's log file.
struct LogRecord {
    std::uint64_t time = 0;
    std::uint32_t attribute = 0;
    std::vector<std::uint8_t> data;

    friend bool operator==(const LogRecord&, const LogRecord&) = default;
};

// Records gathered during one pump pass over an environment, to be appended at its end:
// named-condition name -> trigger time of the recording -> records in arrival order.
using PendingLogRecords =
    std::map<std::u16string, std::map<std::uint64_t, std::vector<LogRecord>>, std::less<>>;

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

// "<time>,<length>,<attribute>,<byte>,...\r\n" with the attribute as 8 and each byte as 2
// lower-case hex digits.
void writeRecordLine(std::ostream& file, std::span<const std::uint8_t> data, std::uint64_t time,
                     std::uint32_t attribute);

// Appends the stream's newest preTriggerCount + 1 records (as far as it holds them).
// The buffer should hold the stream's maximum record length. False when the file cannot be
// opened (a name too long for the file system, say): the write is lost.
bool writePreTrigger(const std::filesystem::path& path, TrafficStream& stream, std::int32_t preTriggerCount,
                     std::span<std::uint8_t> buffer);

// Appends every record with data, in order.
void appendRecords(const std::filesystem::path& path, std::span<const LogRecord> records);

}  // namespace orvalix
