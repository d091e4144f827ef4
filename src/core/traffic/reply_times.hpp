#pragma once

#include <cstdint>
#include <map>
#include <optional>

namespace orvalix {

// How long an environment took to answer: from each received record to the next sent record,
// by the records' own times (100 ns units). A received record that another follows before
// anything is sent is superseded by it: the answer goes to the latest request.
class ReplyTimes {
public:
    void note(bool received, std::uint64_t time);
    void clear();

    struct Summary {
        std::uint64_t replies = 0;
        double p50Ms = 0;
        double p99Ms = 0;
        double maxMs = 0;
    };
    // Nothing before the first reply.
    std::optional<Summary> summary() const;

private:
    // Reply times in 10 µs units and how many took each: exact at the cycle's 10 ms steps, and
    // as many entries as there are distinct times, not replies.
    std::map<std::uint64_t, std::uint64_t> counts_;
    std::uint64_t replies_ = 0;
    std::optional<std::uint64_t> waiting_;  // the time of the request not yet answered
};

}  // namespace orvalix
