#include "core/platform/user_language.hpp"

#include <cstdlib>

namespace orvalix::platform {

Language userLanguage() {
    // getenv only: setlocale would change the whole process.
    return localeNameIsJapanese(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"))
               ? Language::Japanese
               : Language::English;
}

}  // namespace orvalix::platform
