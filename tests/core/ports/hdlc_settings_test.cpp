#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/ports/hdlc_settings.hpp"
#include "port_test_support.hpp"

namespace orvalix {
namespace {

// Settings 0 and 9 to 15 of an HDLC environment; 1 to 8 are capacities, irrelevant here.
PortSettings hdlcSettings(const std::u16string& bitRate, const std::vector<std::u16string>& keywords,
                          const std::u16string& parameter = u"") {
    std::vector<std::u16string> values{u"FBIHDLC0", u"", u"", u"", u"", u"", u"", u"", u"", bitRate};
    values.insert(values.end(), keywords.begin(), keywords.end());
    values.resize(15);
    values.push_back(parameter);
    return test::settingsOf(values);
}

struct RecordCase {
    const char* rule;
    std::u16string bitRate;
    std::vector<std::u16string> keywords;  // settings 10 to 14
    std::u16string parameter;
    std::map<std::size_t, std::uint32_t> words;  // every word not named must be 0
};

const RecordCase kRecordCases[] = {
    {"9600 divides 36.864 MHz exactly: clock code 5",
     u"9600",
     {},
     u"",
     {{17, 1}, {18, 2}, {19, 5}, {20, 9600}}},
    {"64000 divides both clocks, a tie: clock code 5",
     u"64000",
     {},
     u"",
     {{17, 1}, {18, 2}, {19, 5}, {20, 64000}}},
    {"1000000 divides only 32 MHz: clock code 3",
     u"1000000",
     {},
     u"",
     {{17, 1}, {18, 2}, {19, 3}, {20, 1000000}}},
    {"a bit rate that is not a number is 0: words 17 and 18 swap",
     u"fast",
     {},
     u"",
     {{17, 2}, {18, 1}, {19, 5}}},
    {"a negative bit rate keeps its bits and clock code 5",
     u"-9600",
     {},
     u"",
     {{17, 1}, {18, 2}, {19, 5}, {20, static_cast<std::uint32_t>(-9600)}}},
    {"all keywords empty select NRZI, 16-bit check, full duplex, flag idle, RS-232C",
     u"9600",
     {u"", u"", u"", u"", u""},
     u"",
     {{17, 1}, {18, 2}, {19, 5}, {20, 9600}}},
    {"mark idle with half duplex",
     u"9600",
     {u"", u"", u"半二重", u"マーク"},
     u"",
     {{16, 0x10001}, {17, 1}, {18, 2}, {19, 5}, {20, 9600}}},
    {"every non-default keyword",
     u"9600",
     {u"NRZ", u"ITU-T(旧CCITT)32bit", u"半二重", u"マーク", u"RS-485"},
     u"0x20",
     {{0, 1}, {1, 1}, {16, 0x10001}, {17, 1}, {18, 2}, {19, 5}, {20, 9600}, {21, 1}, {23, 0x20}}},
    {"the named defaults read as the defaults",
     u"9600",
     {u"NRZI", u"ITU-T(旧CCITT)16bit", u"全二重", u"フラグ", u"RS-232C"},
     u"",
     {{17, 1}, {18, 2}, {19, 5}, {20, 9600}}},
    {"keywords match whole and case-sensitive",
     u"9600",
     {u"nrz", u"ITU-T(旧CCITT)32bit ", u"", u"", u"RS485"},
     u"",
     {{17, 1}, {18, 2}, {19, 5}, {20, 9600}}},
};

TEST(MakeHdlcSettings, WordsFollowTheSettings) {
    for (const auto& c : kRecordCases) {
        SCOPED_TRACE(c.rule);
        const HdlcSettingsWords words = makeHdlcSettings(hdlcSettings(c.bitRate, c.keywords, c.parameter));
        for (std::size_t i = 0; i < words.size(); ++i) {
            const auto expected = c.words.find(i);
            EXPECT_EQ(words[i], expected == c.words.end() ? 0U : expected->second) << "word " << i;
        }
    }
}

struct ClockCase {
    std::int32_t bitRate;
    std::uint32_t code;
};

const ClockCase kClockCases[] = {
    {9600, 5},     {64000, 5}, {1000000, 3}, {0, 5}, {-1, 5}, {1, 5},  // both remainders 0
    {7, 3},         // 32000000 mod 7 = 4, 36864000 mod 7 = 5
    {125000, 3},    // 0 against 114000
    {115200, 5},    // 89600 against 0
    {40000000, 3},  // larger than both clocks: 32000000 < 36864000
};

TEST(HdlcClockCode, SmallerRemainderOf32MHzGivesThreeTiesGiveFive) {
    for (const auto& c : kClockCases) {
        EXPECT_EQ(hdlcClockCode(c.bitRate), c.code) << c.bitRate;
    }
}

}  // namespace
}  // namespace orvalix
