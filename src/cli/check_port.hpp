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
#include "core/ports/setting_keywords.hpp"
#include "core/project/port_settings_access.hpp"

namespace orvalix::cli {

inline constexpr std::size_t kSettingColumn = 3;  // 1-based column of setting values

// Checks the port settings of the environment files, in the order Start opens their ports.
class PortChecks {
public:
    void checkPort(const CsvFile& file, std::u16string_view environment, const PortSettings& settings);
    // The history of a usable port, with the named conditions the environment loads.
    void checkHistoryMemory(const CsvFile& file, const PortSettings& settings, std::size_t conditionCount);

    std::vector<Finding> takeFindings() { return std::move(findings_); }

private:
    void add(const CsvFile& file, int settingIndex, Severity severity, std::string message);
    void checkNumber(const CsvFile& file, const PortSettings& settings, int index, std::string_view title);
    void checkKeywords(const CsvFile& file, const PortSettings& settings, std::span<const KeywordSetting> table);
    void checkCharacterTimeout(const CsvFile& file, const PortSettings& settings);
    void checkPortInUse(const CsvFile& file, std::u16string_view environment, const PortSettings& settings);

    std::vector<Finding> findings_;
    // The environment that opens a serial port or binds a UDP endpoint first.
    std::map<std::pair<PortKind, std::u16string>, std::u16string> portOwners_;
};

}  // namespace orvalix::cli
