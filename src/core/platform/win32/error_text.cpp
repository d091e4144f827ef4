#include "core/platform/error_text.hpp"

#include "core/platform/win32/system_message.hpp"

namespace orvalix::platform {

std::string systemErrorText(std::uint32_t error) {
    std::string text = win32::systemMessage(error);
    // The system ends its texts with a line break.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

}  // namespace orvalix::platform
