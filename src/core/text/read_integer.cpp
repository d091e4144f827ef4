#include "core/text/read_integer.hpp"

#include <algorithm>
#include <limits>

namespace orvalix {
namespace {

// Value of an ASCII digit or letter in bases up to 36; 36 for anything else.
unsigned digitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return static_cast<unsigned>(c - u'0');
    }
    if (c >= u'a' && c <= u'z') {
        return static_cast<unsigned>(c - u'a') + 10;
    }
    if (c >= u'A' && c <= u'Z') {
        return static_cast<unsigned>(c - u'A') + 10;
    }
    return 36;
}

std::int32_t clampToInt32(std::uint64_t magnitude, bool negative) {
    constexpr auto kMaxMagnitude = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    if (negative) {
        if (magnitude > kMaxMagnitude) {
            return std::numeric_limits<std::int32_t>::min();
        }
        return -static_cast<std::int32_t>(magnitude);
    }
    return static_cast<std::int32_t>(std::min(magnitude, kMaxMagnitude));
}

}  // namespace

bool isNumberSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

NumberReading readInteger(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isNumberSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }

    NumberReading reading;
    unsigned base = 10;
    if (i < text.size() && text[i] == u'0') {
        // The zero counts as a digit even when an x follows it, so "0x" alone reads as 0.
        reading.digitsRead = true;
        ++i;
        base = 8;
        if (i < text.size() && (text[i] == u'x' || text[i] == u'X')) {
            base = 16;
            ++i;
        }
    }

    // Held just past the 32-bit range so that saturation needs no overflow check.
    constexpr std::uint64_t kMagnitudeCap = std::uint64_t{1} << 32;
    std::uint64_t magnitude = 0;
    const std::size_t firstDigit = i;
    for (; i < text.size(); ++i) {
        const unsigned digit = digitValue(text[i]);
        if (digit >= base) {
            break;
        }
        reading.digitsRead = true;
        magnitude = std::min(magnitude * base + digit, kMagnitudeCap);
    }
    reading.value = clampToInt32(magnitude, negative);
    if (reading.digitsRead) {
        // A "0x" that no hex digit follows ends after its 0.
        reading.end = base == 16 && i == firstDigit ? firstDigit - 1 : i;
    }
    return reading;
}

}  // namespace orvalix
