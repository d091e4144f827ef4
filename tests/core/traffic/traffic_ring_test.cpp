#include "core/traffic/traffic_ring.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <random>
#include <vector>

namespace orvalix {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Read {
    std::int32_t length = 0;
    Bytes data;
    std::uint64_t time = 0;
    Bytes extra;
};

Read readAt(TrafficRing& ring, std::int32_t index) {
    Read read;
    Bytes data(static_cast<std::size_t>(ring.maxLength()) + 8, 0xEE);
    Bytes extra(static_cast<std::size_t>(ring.extraSize()), 0xEE);
    read.time = 0xDEAD;
    read.length = ring.read(index, data, read.time, extra);
    data.resize(static_cast<std::size_t>(std::max(read.length, std::int32_t{0})));
    read.data = data;
    read.extra = extra;
    return read;
}

Bytes record(std::uint8_t n) { return Bytes{n, static_cast<std::uint8_t>(n + 100)}; }

TEST(TrafficRing, AFullRingKeepsTheNewestRecordsFromOldestToNewest) {
    TrafficRing ring(3, 8, 4);
    for (std::uint8_t n = 1; n <= 5; ++n) {
        ring.push(record(n), n, {});
    }
    ASSERT_EQ(ring.size(), 3);
    for (std::int32_t position = 0; position < 3; ++position) {
        const auto expected = static_cast<std::uint8_t>(position + 3);
        EXPECT_EQ(readAt(ring, position).data, record(expected)) << position;
        EXPECT_EQ(readAt(ring, position).time, expected) << position;
    }

    const Read popped = readAt(ring, -1);
    EXPECT_EQ(popped.data, record(3));
    EXPECT_EQ(ring.size(), 2);
    EXPECT_EQ(readAt(ring, 0).data, record(4));
    EXPECT_EQ(readAt(ring, 1).data, record(5));
}

TEST(TrafficRing, APositionAtOrPastTheCountReadsTheNewestWithoutRemovingIt) {
    TrafficRing ring(5, 8, 4);
    for (std::uint8_t n = 1; n <= 3; ++n) {
        ring.push(record(n), n, {});
    }
    for (const std::int32_t position : {2, 3, 7, 1000000}) {
        EXPECT_EQ(readAt(ring, position).data, record(3)) << position;
    }
    EXPECT_EQ(ring.size(), 3);
}

TEST(TrafficRing, DataBeyondTheMaximumLengthIsCut) {
    TrafficRing ring(2, 4, 4);
    const Bytes ten{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(ring.push(ten, 1, {}), 4);

    Bytes out(10, 0xEE);
    std::uint64_t time = 0;
    EXPECT_EQ(ring.read(0, out, time, {}), 4);
    EXPECT_EQ(out, (Bytes{0, 1, 2, 3, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
}

TEST(TrafficRing, AnEmptyRingReadsNothingAndAZeroTime) {
    TrafficRing ring(2, 4, 4);
    for (const std::int32_t index : {-1, 0, 5}) {
        const Read read = readAt(ring, index);
        EXPECT_EQ(read.length, 0) << index;
        EXPECT_EQ(read.time, 0u) << index;
    }
    ring.push(record(1), 1, {});
    readAt(ring, -1);
    EXPECT_EQ(readAt(ring, -1).time, 0u) << "drained";
}

TEST(TrafficRing, TimeAndExtraBlockTravelWithTheRecord) {
    TrafficRing ring(3, 4, 8);
    const std::uint64_t time = 0x01DA'5432'89AB'CDEFull;
    ring.push(record(1), time, Bytes{1, 2, 3, 4, 5, 6, 7, 8});
    ring.push(record(2), 7, Bytes{9, 9});  // short block: the rest is zeros
    ring.push(record(3), 8, {});           // none: all zeros

    const Read first = readAt(ring, 0);
    EXPECT_EQ(first.time, time);
    EXPECT_EQ(first.extra, (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(readAt(ring, 1).extra, (Bytes{9, 9, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(readAt(ring, 2).extra, (Bytes(8, 0)));
}

TEST(TrafficRing, ClearEmptiesTheRingAndItFillsAgain) {
    TrafficRing ring(3, 4, 4);
    for (std::uint8_t n = 1; n <= 4; ++n) {
        ring.push(record(n), n, {});
    }
    ring.clear();
    EXPECT_EQ(ring.size(), 0);
    EXPECT_EQ(readAt(ring, 0).length, 0);
    ring.push(record(9), 9, {});
    EXPECT_EQ(ring.size(), 1);
    EXPECT_EQ(readAt(ring, 0).data, record(9));
}

TEST(TrafficRing, SettingsBelowOneKeepNothing) {
    struct Case {
        std::int32_t capacity;
        std::int32_t maxLength;
    };
    const Case cases[] = {{0, 4}, {-1, 4}, {3, 0}, {3, -2}, {0, 0}, {-5, -5}};
    for (const Case& c : cases) {
        TrafficRing ring(c.capacity, c.maxLength, 4);
        EXPECT_EQ(ring.push(record(1), 1, Bytes{1, 2, 3, 4}), 0) << c.capacity << "/" << c.maxLength;
        EXPECT_EQ(ring.size(), 0);
        EXPECT_EQ(ring.capacity(), 0);
        std::uint64_t time = 5;
        EXPECT_EQ(ring.read(-1, {}, time, {}), 0);
        EXPECT_EQ(time, 0u);
    }
}

TEST(TrafficRing, NoRecordIsKeptLongerThanTheLargestFrame) {
    TrafficRing ring(2, 1 << 30, 4);
    EXPECT_EQ(ring.maxLength(), 16384);
    const Bytes big(20000, 0x5A);
    EXPECT_EQ(ring.push(big, 1, {}), 16384);
}

// Pushes, pops and position reads in a long mixed run agree with a plain queue.
TEST(TrafficRing, BehavesAsABoundedQueueAcrossManyWraps) {
    constexpr std::int32_t kCapacity = 5;
    TrafficRing ring(kCapacity, 3, 4);
    std::deque<std::pair<Bytes, std::uint64_t>> model;
    std::mt19937 random(12345);
    for (std::uint64_t step = 1; step <= 2000; ++step) {
        const auto choice = random() % 4;
        if (choice < 2) {
            const Bytes data(1 + random() % 5, static_cast<std::uint8_t>(step));
            ring.push(data, step, {});
            const std::size_t kept = std::min<std::size_t>(data.size(), 3);
            model.emplace_back(Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(kept)), step);
            if (model.size() > kCapacity) {
                model.pop_front();
            }
        } else if (choice == 2) {
            const Read read = readAt(ring, -1);
            if (model.empty()) {
                ASSERT_EQ(read.length, 0) << step;
            } else {
                ASSERT_EQ(read.data, model.front().first) << step;
                ASSERT_EQ(read.time, model.front().second) << step;
                model.pop_front();
            }
        } else {
            const auto position = static_cast<std::int32_t>(random() % (kCapacity + 2));
            const Read read = readAt(ring, position);
            if (model.empty()) {
                ASSERT_EQ(read.length, 0) << step;
            } else {
                const auto& expected = model[std::min(static_cast<std::size_t>(position), model.size() - 1)];
                ASSERT_EQ(read.data, expected.first) << step;
                ASSERT_EQ(read.time, expected.second) << step;
            }
        }
        ASSERT_EQ(ring.size(), static_cast<std::int32_t>(model.size())) << step;
    }
}

}  // namespace
}  // namespace orvalix
