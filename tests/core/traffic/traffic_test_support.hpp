#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "core/platform/local_time.hpp"
#include "core/project/project.hpp"
#include "core/traffic/extra_block.hpp"

namespace orvalix::test {

using Bytes = std::vector<std::uint8_t>;

inline std::u16string number(int value) {
    const std::string text = std::to_string(value);
    return std::u16string(text.begin(), text.end());
}

// A usable (serial) environment with the history and trigger settings given and one named
// condition per name.
inline Environment makeEnvironment(int capacity, int maxLength, int pre = 0, int post = 0,
                                   const std::vector<std::u16string>& conditionNames = {}) {
    Environment environment;
    environment.port.table = {
        {u"Item", u"Description", u"Value"},
        {u"Port", u"", u"COM3"},
        {u"Records", u"", number(capacity)},
        {u"Length", u"", number(maxLength)},
        {u"Pre", u"", number(pre)},
        {u"Post", u"", number(post)},
    };
    for (const std::u16string& name : conditionNames) {
        NamedCondition condition;
        condition.cells = {name, u"1", u"0", u"0"};
        environment.namedConditions.push_back(condition);
    }
    return environment;
}

inline void setPrePost(Environment& environment, int pre, int post) {
    environment.port.table[4][2] = number(pre);
    environment.port.table[5][2] = number(post);
}

// An extra block for n conditions with the attribute and the bits given.
inline Bytes makeExtra(std::size_t conditionCount, std::uint32_t attributeValue,
                       const std::vector<std::size_t>& marks = {}, const std::vector<std::size_t>& triggers = {}) {
    Bytes extra(extraBlockSize(conditionCount), 0);
    setAttribute(extra, attributeValue);
    for (const std::size_t i : marks) {
        setMarkBit(extra, conditionCount, i);
    }
    for (const std::size_t i : triggers) {
        setTriggerBit(extra, conditionCount, i);
    }
    return extra;
}

// The local time of a FILETIME written out field by field, independently of the code under test.
inline std::string expectedTimeText(std::uint64_t fileTime) {
    const auto local = platform::toLocalTime(fileTime);
    if (!local) {
        return {};
    }
    std::ostringstream text;
    text << std::setfill('0') << std::setw(4) << local->year << '/' << std::setw(2) << local->month << '/'
         << std::setw(2) << local->day << ' ' << std::setw(2) << local->hour << ':' << std::setw(2) << local->minute
         << ':' << std::setw(2) << local->second << '.' << std::setw(3) << local->millisecond;
    return text.str();
}

inline std::string expectedLine(std::uint64_t fileTime, const Bytes& data, std::uint32_t attributeValue) {
    std::ostringstream line;
    line << expectedTimeText(fileTime) << ',' << data.size() << ',' << std::hex << std::setfill('0') << std::setw(8)
         << attributeValue;
    for (const std::uint8_t byte : data) {
        line << ',' << std::setw(2) << static_cast<unsigned>(byte);
    }
    line << "\r\n";
    return line.str();
}

inline const std::string kBom = "\xEF\xBB\xBF";

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// 2024-01-31 23:59:59.007 UTC plus the milliseconds given.
inline std::uint64_t timeAt(std::uint64_t milliseconds = 0) {
    constexpr std::uint64_t kBase = 133'512'191'990'070'000ull;
    return kBase + milliseconds * 10'000;
}

}  // namespace orvalix::test
