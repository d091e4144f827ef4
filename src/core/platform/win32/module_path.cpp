#include "core/platform/module_path.hpp"

#include <string>
#include <system_error>

#include "core/platform/win32/windows_headers.hpp"

namespace orvalix::platform {

std::filesystem::path executableFolder() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) {
            break;
        }
        if (length < name.size()) {
            name.resize(length);
            return std::filesystem::path(name).parent_path();
        }
        name.resize(name.size() * 2);  // cut: try again with more room
    }
    std::error_code ignored;
    return std::filesystem::current_path(ignored);
}

}  // namespace orvalix::platform
