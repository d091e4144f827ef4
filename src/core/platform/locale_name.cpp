#include "core/platform/user_language.hpp"

#include <initializer_list>
#include <string_view>

namespace orvalix::platform {

bool localeNameIsJapanese(const char* lcAll, const char* lcMessages, const char* lang) {
    for (const char* value : {lcAll, lcMessages, lang}) {
        if (value == nullptr || *value == '\0') {
            continue;
        }
        const std::string_view name(value);
        if (!name.starts_with("ja")) {
            return false;
        }
        // The language part ends at the territory, the code set or the modifier.
        return name.size() == 2 || name[2] == '_' || name[2] == '.' || name[2] == '@';
    }
    return false;
}

}  // namespace orvalix::platform
