#include "core/traffic/iso_time.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <tuple>

namespace orvalix {
namespace {

using Fields = platform::LocalTimeFields;

constexpr std::uint64_t kNewYear = 133'485'414'002'500'000;  // 2024-01-01 00:10:00.250 UTC
constexpr std::uint64_t kLeapDay = 133'537'242'000'000'000;  // 2024-02-29 23:50:00 UTC

TEST(IsoTime, TheOffsetIsHowFarTheLocalFieldsAreAheadOfUtcAcrossDaysMonthsAndYears) {
    const std::tuple<const char*, std::uint64_t, Fields, int> cases[] = {
        {"fields that are the UTC time", kNewYear, {2024, 1, 1, 0, 10, 0, 250}, 0},
        {"east by half hours", kNewYear, {2024, 1, 1, 5, 40, 0, 250}, 330},
        {"west, back into the old year", kNewYear, {2023, 12, 31, 20, 10, 0, 250}, -240},
        {"east, past the leap day into March", kLeapDay, {2024, 3, 1, 1, 50, 0, 0}, 120},
        {"west by half hours on the leap day", kLeapDay, {2024, 2, 29, 20, 20, 0, 0}, -210},
    };
    for (const auto& [rule, time, local, minutes] : cases) {
        EXPECT_EQ(utcOffsetMinutes(local, time), minutes) << rule;
    }
}

TEST(IsoTime, TextHasMillisecondsAndASignedOffsetOfHoursAndMinutes) {
    const Fields noon{2024, 1, 31, 12, 0, 2, 502};
    const std::tuple<const char*, Fields, int, std::string> cases[] = {
        {"east of UTC", noon, 60, "2024-01-31T12:00:02.502+01:00"},
        {"UTC itself has a plus sign", noon, 0, "2024-01-31T12:00:02.502+00:00"},
        {"west by less than an hour keeps its minus sign", noon, -30, "2024-01-31T12:00:02.502-00:30"},
        {"west by hours and minutes", noon, -570, "2024-01-31T12:00:02.502-09:30"},
        {"every field padded", {987, 2, 3, 4, 5, 6, 7}, 345, "0987-02-03T04:05:06.007+05:45"},
    };
    for (const auto& [rule, local, minutes, text] : cases) {
        EXPECT_EQ(isoTimeText(local, minutes), text) << rule;
    }
}

// Whatever the machine's zone, the local time less its offset is the FILETIME's UTC time.
TEST(IsoTime, FormatsInTheLocalZoneWithAnOffsetThatLeadsBackToUtc) {
    EXPECT_EQ(formatIsoTime(std::numeric_limits<std::uint64_t>::max()), "") << "no local form, no text";
    const std::string text = formatIsoTime(kLeapDay + 1'230'000);
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0, offsetHours = 0, offsetMinutes = 0;
    char sign = 0;
    ASSERT_EQ(std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3d%c%2d:%2d", &y, &mo, &d, &h, &mi, &s, &ms, &sign,
                          &offsetHours, &offsetMinutes),
              10)
        << text;
    namespace chrono = std::chrono;
    using namespace std::chrono_literals;
    const int offset = (sign == '-' ? -1 : 1) * (offsetHours * 60 + offsetMinutes);
    const chrono::sys_seconds utc = chrono::sys_days{chrono::year{y} / mo / d} + chrono::hours{h} +
                                    chrono::minutes{mi - offset} + chrono::seconds{s};
    EXPECT_EQ(utc, chrono::sys_days{2024y / chrono::February / 29} + 23h + 50min) << text;
    EXPECT_EQ(ms, 123);
}

}  // namespace
}  // namespace orvalix
