#include "core/platform/module_path.hpp"

#include <unistd.h>

#include <string>
#include <system_error>

namespace orvalix::platform {

std::filesystem::path executableFolder() {
    std::string target(256, '\0');
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", target.data(), target.size());
        if (length < 0) {
            break;
        }
        if (static_cast<std::size_t>(length) < target.size()) {
            target.resize(static_cast<std::size_t>(length));
            return std::filesystem::path(target).parent_path();
        }
        target.resize(target.size() * 2);  // possibly cut: try again with more room
    }
    std::error_code ignored;
    return std::filesystem::current_path(ignored);
}

}  // namespace orvalix::platform
