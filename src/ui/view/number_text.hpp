#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>

namespace orvalix::ui::detail {

// What printf gives for "%d" and "%.<digits>x", without the C locale in the way.
inline std::u16string asciiToWide(const char* first, const char* last) { return std::u16string(first, last); }

inline std::u16string decimalText(std::int64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return asciiToWide(buffer, result.ptr);
}

inline std::u16string hexText(std::uint64_t value, std::size_t minDigits) {
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, 16);
    const auto digits = static_cast<std::size_t>(result.ptr - buffer);
    std::u16string text(minDigits > digits ? minDigits - digits : 0, u'0');
    return text + asciiToWide(buffer, result.ptr);
}

}  // namespace orvalix::ui::detail
