#include "core/traffic/reply_times.hpp"

#include <algorithm>
#include <cmath>

namespace orvalix {
namespace {

constexpr std::uint64_t kTicksPerUnit = 100;  // 10 µs in 100 ns units
constexpr double kMsPerUnit = 0.01;

}  // namespace

void ReplyTimes::note(bool received, std::uint64_t time) {
    if (received) {
        waiting_ = time;
        return;
    }
    if (!waiting_) {
        return;  // sent on its own: a poll, not an answer
    }
    // A clock set back between the two shows as no time at all rather than a huge one.
    const std::uint64_t took = time > *waiting_ ? time - *waiting_ : 0;
    ++counts_[(took + kTicksPerUnit / 2) / kTicksPerUnit];
    ++replies_;
    waiting_.reset();
}

void ReplyTimes::clear() {
    counts_.clear();
    replies_ = 0;
    waiting_.reset();
}

std::optional<ReplyTimes::Summary> ReplyTimes::summary() const {
    if (replies_ == 0) {
        return std::nullopt;
    }
    // Nearest rank: the smallest time that at least the share of replies took no longer than.
    const auto rank = [this](double share) {
        return std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::ceil(share * static_cast<double>(replies_))));
    };
    const std::uint64_t p50Rank = rank(0.50);
    const std::uint64_t p99Rank = rank(0.99);
    Summary summary{replies_, 0, 0, static_cast<double>(counts_.rbegin()->first) * kMsPerUnit};
    std::uint64_t seen = 0;
    for (const auto& [units, count] : counts_) {
        const std::uint64_t before = seen;
        seen += count;
        if (before < p50Rank && p50Rank <= seen) {
            summary.p50Ms = static_cast<double>(units) * kMsPerUnit;
        }
        if (before < p99Rank && p99Rank <= seen) {
            summary.p99Ms = static_cast<double>(units) * kMsPerUnit;
            break;
        }
    }
    return summary;
}

}  // namespace orvalix
