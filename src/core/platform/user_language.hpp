#pragma once

namespace orvalix::platform {

// Whether user-facing texts are to be Japanese: the user's default language is Japanese
// (language id 1041 on Windows; on POSIX the locale name that localeNameIsJapanese picks).
// Asked anew on every call.
bool userLanguageIsJapanese();

// The POSIX rule over the values of LC_ALL, LC_MESSAGES and LANG (nullptr when unset): the
// first one that is set and not empty decides; it is Japanese when its language part is "ja"
// ("ja", "ja_JP.UTF-8", "ja.eucJP", "ja@x").
bool localeNameIsJapanese(const char* lcAll, const char* lcMessages, const char* lang);

}  // namespace orvalix::platform
