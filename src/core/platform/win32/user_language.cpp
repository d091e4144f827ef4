#include "core/platform/user_language.hpp"

#include "core/platform/win32/windows_headers.hpp"

namespace orvalix::platform {
namespace {

constexpr LANGID kJapanese = 1041;  // 0x0411

}  // namespace

Language userLanguage() {
    return ::GetUserDefaultLangID() == kJapanese ? Language::Japanese : Language::English;
}

}  // namespace orvalix::platform
