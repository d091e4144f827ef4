#include "core/traffic/ring_memory.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "core/traffic/traffic_store.hpp"
#include "core/traffic/traffic_stream.hpp"
#include "traffic_test_support.hpp"

namespace orvalix {
namespace {

constexpr std::int32_t kMaxInt = std::numeric_limits<std::int32_t>::max();

Environment environmentWith(std::int32_t capacity, std::int32_t maxLength, std::size_t conditions = 0) {
    return test::makeEnvironment(capacity, maxLength, std::vector<std::u16string>(conditions, u"c"));
}

TEST(RingMemory, IsCapacityTimesHeadExtraBlockAndLengthAsTheRingTakesIt) {
    struct Case {
        const char* rule;
        std::int32_t capacity, maxLength;
        std::size_t conditions;
        std::uint64_t bytes;
    };
    const Case cases[] = {
        {"a slot is the 12-byte head, the 4-byte block and the length", 10, 64, 0, 10 * 80},
        {"nine named conditions make the block 8 bytes", 3, 100, 9, 3 * 120},
        {"a length above the largest frame counts as the largest frame", 2, 1'000'000'000, 0, 2 * 16400},
        {"the largest settings do not overflow", kMaxInt, kMaxInt, 0, 35'218'731'810'800},
        {"a capacity below 1 keeps nothing and takes nothing", 0, 64, 0, 0},
        {"nor does a negative capacity", -5, 64, 3, 0},
        {"nor a length below 1", 10, 0, 0, 0},
        {"nor a negative length", 10, -1, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ringMemory(environmentWith(c.capacity, c.maxLength, c.conditions)), c.bytes) << c.rule;
    }
}

TEST(RingMemory, ARingAboveTheLimitIsRefusedAndKeepsNothing) {
    struct Case {
        const char* rule;
        std::int32_t capacity, maxLength;
        std::uint64_t limit;
        std::optional<RingRefusal> refusal;
        std::int32_t madeCapacity;
    };
    // 65536 slots of 12 + 4 + 16368 bytes fill 1 GiB exactly.
    const Case cases[] = {
        {"a ring of exactly the limit is made", 10, 64, 800, std::nullopt, 10},
        {"one byte more is refused", 10, 64, 799, RingRefusal{10, 64, 800, 799, true}, 0},
        {"one record more than the default limit holds is refused", 65537, 16368, kDefaultRingMemoryLimit,
         RingRefusal{65537, 16368, 65537ull * 16384, kDefaultRingMemoryLimit, true}, 0},
        {"the clamped length is what counts", 1, 1'000'000'000, 16400, std::nullopt, 1},
        {"a ring that keeps nothing by design is no refusal", 0, 64, 1, std::nullopt, 0},
        {"nor one of length 0", 5, 0, 1, std::nullopt, 0},
    };
    for (const Case& c : cases) {
        std::optional<RingRefusal> refusal = RingRefusal{};  // replaced either way
        const auto ring = makeEnvironmentRing(environmentWith(c.capacity, c.maxLength), c.limit, refusal);
        EXPECT_EQ(refusal, c.refusal) << c.rule;
        EXPECT_EQ(ring->capacity(), c.madeCapacity) << c.rule;
        EXPECT_EQ(ring->extraSize(), 4) << c.rule;
        ring->push(test::dataOf(1), 1, {});
        EXPECT_EQ(ring->size(), c.madeCapacity > 0 ? 1 : 0) << c.rule;
    }
}

// The other three texts are checked where a session tells them.
TEST(RingMemory, TheJapaneseMessageSaysWhenTheMemoryCannotBeHad) {
    EXPECT_EQ(
        ringRefusalMessage(u"D1", RingRefusal{2147483647, 1000000000, 35218731810800, 1073741824, false},
                           Language::Japanese),
        "D1 の通信履歴を確保できません。recordCapacity 2147483647、maxRecordLength 1000000000 には "
        "35218731810800 バイトが必要ですが、そのメモリを確保できません。");
}

TEST(TrafficStore, PrepareTellsTheFirstRefusedRingInMapOrderAndKeepsTheOthers) {
    EnvironmentMap environments{{u"P1", environmentWith(10, 64)},
                                {u"P2", environmentWith(100, 64)},
                                {u"P3", environmentWith(200, 64)}};
    TrafficStore store;
    store.prepare(environments, 1000);
    ASSERT_TRUE(store.refused().has_value());
    EXPECT_EQ(store.refused()->environment, u"P2");
    EXPECT_EQ(store.refused()->refusal, (RingRefusal{100, 64, 8000, 1000, true}));
    EXPECT_EQ(store.ring(u"P1")->capacity(), 10);
    EXPECT_EQ(store.ring(u"P3")->capacity(), 0) << "a later refused ring keeps nothing as well";

    store.prepare(environments, 15999);
    EXPECT_EQ(store.refused()->environment, u"P3") << "each prepare tells afresh";
    store.prepare(environments);
    EXPECT_FALSE(store.refused().has_value()) << "the default limit takes them all";
    EXPECT_EQ(store.ring(u"P3")->capacity(), 200);
}

// 12 + 8 + 64 bytes a record: 8400 would fit. Where the limit lies is the ring's rule.
TEST(TrafficStream, AHistoryAboveTheLimitIsRefusedAtEveryReset) {
    const Environment big = environmentWith(100, 64, 1);
    TrafficStream refused(big, 8399);
    ASSERT_TRUE(refused.refusal().has_value());
    EXPECT_EQ(*refused.refusal(), (RingRefusal{100, 64, 8400, 8399, true}));
    refused.append(test::dataOf(1), 1, {});
    EXPECT_EQ(refused.recordCount(), 0);
    refused.reset();
    EXPECT_TRUE(refused.refusal().has_value());
    EXPECT_FALSE(TrafficStream(big).refusal().has_value()) << "the default limit";
}

}  // namespace
}  // namespace orvalix
