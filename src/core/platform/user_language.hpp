#pragma once

#include "core/text/language.hpp"

namespace orvalix::platform {

// The language of user-facing texts: Japanese when the user's default language is Japanese
// (language id 1041 on Windows; on POSIX the locale name that localeNameIsJapanese picks),
// English otherwise. Asked anew on every call.
Language userLanguage();

// The POSIX rule over the values of LC_ALL, LC_MESSAGES and LANG (nullptr when unset): the
// first one that is set and not empty decides; it is Japanese when its language part is "ja"
// ("ja", "ja_JP.UTF-8", "ja.eucJP", "ja@x").
bool localeNameIsJapanese(const char* lcAll, const char* lcMessages, const char* lang);

}  // namespace orvalix::platform
