#include "core/traffic/reply_times.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace orvalix {
namespace {

constexpr std::uint64_t kMs = 10'000;  // 100 ns units
constexpr std::uint64_t kStart = 133'000'000'000'000'000;

struct Record {
    bool received;
    std::uint64_t after;  // since the start
};

std::string describe(const std::optional<ReplyTimes::Summary>& summary) {
    if (!summary) {
        return "none";
    }
    char text[96];
    std::snprintf(text, sizeof text, "%llu: p50 %.2f p99 %.2f max %.2f",
                  static_cast<unsigned long long>(summary->replies), summary->p50Ms, summary->p99Ms, summary->maxMs);
    return text;
}

std::vector<Record> oneReplyEach(std::uint64_t fromMs, std::uint64_t toMs) {
    std::vector<Record> records;
    for (std::uint64_t ms = fromMs; ms <= toMs; ++ms) {
        const std::uint64_t at = ms * 1000 * kMs;
        records.push_back({true, at});
        records.push_back({false, at + ms * kMs});
    }
    return records;
}

TEST(ReplyTimes, AReplyIsTimedFromTheLatestRequestToTheNextSentRecord) {
    const struct {
        const char* rule;
        std::vector<Record> records;
        std::string summary;
    } cases[] = {
        {"nothing answered yet: no summary", {{true, 0}}, "none"},
        {"a record sent with nothing received is a poll, not a reply", {{false, 0}, {false, 10 * kMs}}, "none"},
        {"a request and its answer a cycle later", {{true, 0}, {false, 10 * kMs}}, "1: p50 10.00 p99 10.00 max 10.00"},
        {"the answer in the request's own cycle takes no time", {{true, 5}, {false, 5}}, "1: p50 0.00 p99 0.00 max 0.00"},
        {"a second request before the answer: timed from the second",
         {{true, 0}, {true, 20 * kMs}, {false, 30 * kMs}}, "1: p50 10.00 p99 10.00 max 10.00"},
        {"a second record sent answers nothing more", {{true, 0}, {false, kMs}, {false, 2 * kMs}},
         "1: p50 1.00 p99 1.00 max 1.00"},
        {"kept to 10 microseconds, rounded", {{true, 0}, {false, 12'345}}, "1: p50 1.23 p99 1.23 max 1.23"},
        {"a clock set back counts as no time", {{true, 50 * kMs}, {false, 0}}, "1: p50 0.00 p99 0.00 max 0.00"},
        {"nearest rank over 1 to 100 ms", oneReplyEach(1, 100), "100: p50 50.00 p99 99.00 max 100.00"},
        {"nearest rank over 1 to 10 ms: p99 is the largest", oneReplyEach(1, 10), "10: p50 5.00 p99 10.00 max 10.00"},
    };
    for (const auto& c : cases) {
        ReplyTimes times;
        for (const Record& record : c.records) {
            times.note(record.received, kStart + record.after);
        }
        EXPECT_EQ(describe(times.summary()), c.summary) << c.rule;
        times.clear();
        EXPECT_EQ(describe(times.summary()), "none") << c.rule << ": cleared";
    }
}

}  // namespace
}  // namespace orvalix
