#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "core/project/project.hpp"
#include "core/text/text_conversion.hpp"
#include "core/traffic/extra_block.hpp"
#include "core/traffic/log_files.hpp"

namespace orvalix::test {

using Bytes = std::vector<std::uint8_t>;

// A usable (serial) environment with the history settings given, pre- and post-trigger
// counts 0 and one named condition per name.
inline Environment makeEnvironment(int capacity, int maxLength,
                                   const std::vector<std::u16string>& conditions = {}) {
    Environment environment;
    environment.port = PortOptions{u"COM3", capacity, maxLength, 0, 0, SerialOptions{}};
    for (const std::u16string& name : conditions) {
        environment.namedConditions.emplace_back().cells = {name, u"1", u"0", u"0"};
    }
    return environment;
}

// An extra block for n conditions with the attribute and the bits given.
inline Bytes makeExtra(std::size_t conditionCount, std::uint32_t attributeValue,
                       const std::vector<std::size_t>& marks = {},
                       const std::vector<std::size_t>& triggers = {}) {
    Bytes extra(extraBlockSize(conditionCount), 0);
    setAttribute(extra, attributeValue);
    for (const std::size_t i : marks) setMarkBit(extra, conditionCount, i);
    for (const std::size_t i : triggers) setTriggerBit(extra, conditionCount, i);
    return extra;
}

inline const std::string kBom = "\xEF\xBB\xBF";

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// 2024-01-31 23:59:59.007 UTC plus the milliseconds given.
inline std::uint64_t timeAt(std::uint64_t ms = 0) { return 133'512'191'990'070'000ull + ms * 10'000; }

// Record n as these tests make it: one data byte n at timeAt(n), received on even n.
inline Bytes dataOf(int n) { return Bytes{static_cast<std::uint8_t>(n)}; }
inline std::uint32_t attributeOf(int n) { return n % 2 == 0 ? kReceivedAttribute : 0; }

// The log file of records first to last; the time text is checked on its own (LogFile).
inline std::string logOf(int first, int last) {
    std::ostringstream text;
    text << kBom << std::hex << std::setfill('0');
    for (int n = first; n <= last; ++n) {
        text << formatTimeNarrow(timeAt(std::uint64_t(n))) << ",1," << std::setw(8) << attributeOf(n)
             << ',' << std::setw(2) << n << "\r\n";
    }
    return text.str();
}

}  // namespace orvalix::test
