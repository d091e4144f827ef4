#pragma once

#include <cstddef>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/check_file.hpp"
#include "cli/project_check.hpp"
#include "core/ports/port_options.hpp"
#include "core/ports/port_setting_table.hpp"
#include "core/text/csv_reader.hpp"

namespace orvalix::cli {

inline constexpr std::size_t kSettingColumn = 3;  // 1-based column of setting values

// Checks the port settings of the environment files, in the order Start opens their ports:
// the rows as the loader reads them, and the port it makes of them.
class PortChecks {
public:
    void checkPort(const CsvFile& file, std::u16string_view environment, const CsvTable& rows,
                   const PortOptions& port);
    // The history of a usable port, with the named conditions the environment loads.
    void checkHistoryMemory(const CsvFile& file, const PortOptions& port, std::size_t conditionCount);

    std::vector<Finding> takeFindings() { return std::move(findings_); }
    std::vector<Finding> takeNotes() { return std::move(notes_); }

private:
    void add(const CsvFile& file, int settingIndex, Severity severity, std::string message);
    void checkNumbers(const CsvFile& file, const CsvTable& rows, std::span<const NumericSetting> table);
    void checkKeywords(const CsvFile& file, const CsvTable& rows, std::span<const KeywordSetting> table);
    void checkCharacterTimeout(const CsvFile& file, const CsvTable& rows);
    void checkPortInUse(const CsvFile& file, std::u16string_view environment, const PortOptions& port);
    void checkSerialDevice(const CsvFile& file, const PortOptions& port, const SerialOptions& serial);

    std::vector<Finding> findings_;
    std::vector<Finding> notes_;
    // The environment that opens a serial port or binds a UDP endpoint first.
    std::map<std::pair<PortKind, std::u16string>, std::u16string> portOwners_;
};

}  // namespace orvalix::cli
