#include "core/platform/user_language.hpp"

#include <gtest/gtest.h>

namespace orvalix::platform {
namespace {

struct LocaleCase {
    const char* rule;
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    bool japanese;
};

TEST(LocaleNameIsJapanese, TheFirstSetAndNonEmptyVariableDecides) {
    const LocaleCase cases[] = {
        {"nothing set", nullptr, nullptr, nullptr, false},
        {"LANG alone", nullptr, nullptr, "ja_JP.UTF-8", true},
        {"LC_MESSAGES alone", nullptr, "ja_JP.eucJP", nullptr, true},
        {"LC_ALL alone", "ja_JP", nullptr, nullptr, true},
        {"LC_ALL wins over LANG", "en_US.UTF-8", nullptr, "ja_JP.UTF-8", false},
        {"LC_ALL wins over LC_MESSAGES", "ja_JP.UTF-8", "C", nullptr, true},
        {"LC_MESSAGES wins over LANG", nullptr, "C", "ja_JP.UTF-8", false},
        {"an empty LC_ALL is skipped", "", nullptr, "ja_JP.UTF-8", true},
        {"an empty LC_MESSAGES is skipped", "", "", "ja", true},
        {"all empty", "", "", "", false},
        {"bare language", nullptr, nullptr, "ja", true},
        {"code set without territory", nullptr, nullptr, "ja.UTF-8", true},
        {"modifier", nullptr, nullptr, "ja@x", true},
        {"C locale", nullptr, nullptr, "C.UTF-8", false},
        {"POSIX locale", nullptr, nullptr, "POSIX", false},
        {"another language beginning with ja", nullptr, nullptr, "jam_JM", false},
        {"upper case is not a language name", nullptr, nullptr, "JA_JP", false},
        {"territory JP alone is not the language", nullptr, nullptr, "en_JP.UTF-8", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        EXPECT_EQ(localeNameIsJapanese(c.lcAll, c.lcMessages, c.lang), c.japanese);
    }
}

}  // namespace
}  // namespace orvalix::platform
