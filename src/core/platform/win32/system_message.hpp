#pragma once

#include <cstdint>
#include <string>

namespace orvalix::platform::win32 {

// The system's own text for an error code, taken as it comes (with the line break the system
// appends), or the code in lower-case hexadecimal when the system has no text for it.
std::string systemMessage(std::uint32_t error);

}  // namespace orvalix::platform::win32
