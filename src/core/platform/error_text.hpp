#pragma once

#include <cstdint>
#include <string>

namespace orvalix::platform {

// The system's text for an error number of its own (errno on POSIX, a GetLastError code on
// Windows), UTF-8, on one line without a final line break.
std::string systemErrorText(std::uint32_t error);

}  // namespace orvalix::platform
