#include "core/platform/error_text.hpp"

#include <system_error>

namespace orvalix::platform {

std::string systemErrorText(std::uint32_t error) {
    return std::generic_category().message(static_cast<int>(error));
}

}  // namespace orvalix::platform
