#include "core/platform/user_language.hpp"

#include <gtest/gtest.h>

#include <tuple>

namespace orvalix::platform {
namespace {

TEST(LocaleNameIsJapanese, TheFirstSetAndNonEmptyVariableDecides) {
    // LC_ALL, LC_MESSAGES and LANG in that order; an empty one is skipped. The language part
    // must be "ja" exactly: not "jam", not upper case, not the territory JP.
    // clang-format off
    const std::tuple<const char*, const char*, const char*, bool> cases[] = {
        {nullptr, nullptr, nullptr, false},       {"", "", "", false},
        {nullptr, nullptr, "ja_JP.UTF-8", true},  {nullptr, "ja_JP.eucJP", nullptr, true},
        {"ja_JP", nullptr, nullptr, true},        {"en_US.UTF-8", nullptr, "ja_JP.UTF-8", false},
        {"ja_JP.UTF-8", "C", nullptr, true},      {nullptr, "C", "ja_JP.UTF-8", false},
        {"", nullptr, "ja_JP.UTF-8", true},       {"", "", "ja", true},
        {nullptr, nullptr, "ja.UTF-8", true},     {nullptr, nullptr, "ja@x", true},
        {nullptr, nullptr, "C.UTF-8", false},     {nullptr, nullptr, "POSIX", false},
        {nullptr, nullptr, "jam_JM", false},      {nullptr, nullptr, "JA_JP", false},
        {nullptr, nullptr, "en_JP.UTF-8", false},
    };
    // clang-format on
    for (const auto& [lcAll, lcMessages, lang, japanese] : cases) {
        EXPECT_EQ(localeNameIsJapanese(lcAll, lcMessages, lang), japanese)
            << testing::PrintToString(std::tuple(lcAll, lcMessages, lang));
    }
}

}  // namespace
}  // namespace orvalix::platform
