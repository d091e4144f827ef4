#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orvalix {

// strtol-like reading with base 0: optional white space and sign, then 0x hex, 0 octal or
// decimal digits; stops at the first character that does not fit; no digit gives 0 and
// digitsRead false; saturates to the 32-bit range. As with strtol, "0x" without a hex digit
// reads as the digit 0.
struct NumberReading {
    std::int32_t value = 0;
    bool digitsRead = false;
    std::size_t end = 0;  // where the reading stopped, as strtol's end pointer; 0 without a digit
};
NumberReading readInteger(std::u16string_view text);

// The white space that strtol skips in the "C" locale.
bool isNumberSpace(char16_t c);

}  // namespace orvalix
