#include "core/traffic/traffic_ring.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "core/traffic/traffic_store.hpp"
#include "traffic_test_support.hpp"

namespace orvalix {
namespace {

using test::Bytes;

struct Read {
    Bytes data, extra;
    std::uint64_t time = 0xDEAD;
};

// Reads into buffers larger than needed and checks that nothing past the record was written.
Read readAt(TrafficRing& ring, std::int32_t index) {
    Read read{Bytes(static_cast<std::size_t>(ring.maxLength()) + 8, 0xEE),
              Bytes(static_cast<std::size_t>(ring.extraSize()), 0xEE)};
    const auto length =
        static_cast<std::size_t>(std::max(ring.read(index, read.data, read.time, read.extra), 0));
    EXPECT_TRUE(std::all_of(read.data.begin() + static_cast<std::ptrdiff_t>(length), read.data.end(),
                            [](std::uint8_t byte) { return byte == 0xEE; }));
    read.data.resize(length);
    return read;
}

// Record n holds {n, n + 100} at time n with the short extra block {n}.
TEST(TrafficRing, ReadsTheOldestToTheNewestAndNothingFromAnEmptyRing) {
    struct Case {
        const char* rule;
        std::int32_t capacity, maxLength, pushes, index;
        Bytes data;
        std::int32_t sizeAfter;
    };
    const Case cases[] = {
        // clang-format off
        {"a full ring keeps the newest, position 0 the oldest", 3, 8, 5, 0, {3, 103}, 3},
        {"the last position is the newest", 3, 8, 5, 2, {5, 105}, 3},
        {"a negative index takes the oldest out", 3, 8, 5, -1, {3, 103}, 2},
        {"a position past the count reads the newest and keeps it", 5, 8, 3, 3, {3, 103}, 3},
        {"data beyond the maximum length is cut", 2, 1, 1, 0, {1}, 1},
        {"an empty ring reads nothing and time 0", 2, 4, 0, -1, {}, 0},
        {"nor at a position", 2, 4, 0, 5, {}, 0},
        {"capacity 0 keeps nothing", 0, 4, 2, 0, {}, 0},
        {"nor a negative capacity", -1, 4, 2, -1, {}, 0},
        {"nor maximum length 0", 3, 0, 2, -1, {}, 0},
        {"nor a negative maximum length", 3, -2, 2, 0, {}, 0},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        TrafficRing ring(c.capacity, c.maxLength, 4);
        for (std::uint8_t n = 1; n <= c.pushes; ++n) ring.push(Bytes{n, std::uint8_t(n + 100)}, n, Bytes{n});
        const Read read = readAt(ring, c.index);
        EXPECT_EQ(std::tuple(read.data, read.time, ring.size()),
                  std::tuple(c.data, c.data.empty() ? 0u : c.data[0], c.sizeAfter));
        // A short extra block is padded with zeros.
        if (!c.data.empty()) {
            EXPECT_EQ(read.extra, (Bytes{c.data[0], 0, 0, 0}));
        }
    }
}

TEST(TrafficRing, KeepsTheWholeTimeAndExtraBlockButNoFrameLongerThanTheLargest) {
    TrafficRing ring(2, 1 << 30, 8);
    EXPECT_EQ(ring.maxLength(), 16384);
    const Bytes extra{1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(ring.push(Bytes(20000, 0x5A), 0x01DA'5432'89AB'CDEFull, extra), 16384);
    const Read read = readAt(ring, 0);
    EXPECT_EQ(std::tuple(read.data, read.time, read.extra),
              std::tuple(Bytes(16384, 0x5A), 0x01DA'5432'89AB'CDEFull, extra));
}

// Pushes, pops and position reads in a long mixed run agree with a plain queue of push
// times; the record pushed at time t holds 1 + t % 5 bytes t, cut to 3.
TEST(TrafficRing, BehavesAsABoundedQueueAcrossManyWraps) {
    TrafficRing ring(5, 3, 4);
    std::deque<std::uint64_t> model;
    std::mt19937 random(12345);
    for (std::uint64_t step = 1; step <= 3000; ++step) {
        const auto choice = static_cast<std::int32_t>(random() % 16);
        if (choice < 8) {
            ring.push(Bytes(1 + step % 5, static_cast<std::uint8_t>(step)), step, {});
            model.push_back(step);
            if (model.size() > 5) model.pop_front();
        } else {
            const std::int32_t index = choice - 9;  // -1 takes the oldest out
            const std::uint64_t t =
                model.empty() ? 0 : model[std::min<std::size_t>(std::max(index, 0), model.size() - 1)];
            const Read read = readAt(ring, index);
            ASSERT_EQ(read.time, t) << step;
            const std::size_t length = t == 0 ? 0 : std::min<std::size_t>(1 + t % 5, 3);
            ASSERT_EQ(read.data, Bytes(length, std::uint8_t(t))) << step;
            if (index < 0 && !model.empty()) model.pop_front();
        }
        ASSERT_EQ(ring.size(), std::ssize(model)) << step;
    }
}

using Popped = std::pair<Bytes, std::uint64_t>;

Popped pop(TrafficStore& store, std::u16string_view name) {
    Bytes data(64, 0), extra(64, 0);
    std::uint64_t time = 0xDEAD;
    UdpEndpoint peer;
    data.resize(static_cast<std::size_t>(store.pop(name, data, time, extra, peer)));
    return {data, time};
}

// P1 is usable, with room for 2 records of 3 bytes and 9 conditions; P2 has no port name.
TEST(TrafficStore, OnlyUsableEnvironmentsGetAFreshRingSizedFromTheirSettings) {
    EnvironmentMap environments{{u"P1", test::makeEnvironment(2, 3, std::vector<std::u16string>(9, u"c"))},
                                {u"P2", test::makeEnvironment(4, 4)}};
    environments[u"P2"].port.name.clear();
    environments[u"P2"].port.kind = NoPortOptions{};
    TrafficStore store;
    store.prepare(environments);
    EXPECT_EQ(store.ring(u"P2"), nullptr);
    ASSERT_NE(store.ring(u"P1"), nullptr);
    EXPECT_EQ(store.ring(u"P1")->extraSize(), 8);
    for (const std::uint64_t time : {10u, 11u}) store.push(u"P1", Bytes{1, 2, 3, 4, 5}, time, {});
    store.push(u"P1", {}, 12, {});  // an empty frame is not kept, so 10 is not pushed out
    EXPECT_EQ(pop(store, u"P1"), (Popped{{1, 2, 3}, 10})) << "the oldest, cut to 3 bytes";
    for (const std::u16string_view name : {u"P2", u"P3", u""}) {
        store.push(name, Bytes{1}, 1, {});
        EXPECT_EQ(pop(store, name), Popped{}) << "nothing for a name without a ring";
    }
    store.prepare(environments);
    EXPECT_EQ(pop(store, u"P1"), Popped{}) << "prepare starts every ring empty";
}

// Each case pushes records 1..pushes (record n from peer 10.0.0.n:n) into a ring of 2 after
// `popsFirst` pops of an empty store, pops `pops` of them, and pushes `more`.
TEST(TrafficStore, KeepsEachRecordsPeerForUdpAndTcpAndCountsWhatAFullRingOverwrote) {
    struct Case {
        const char* rule;
        PortKindOptions kind;
        int pushes, pops, more;
        std::uint16_t firstPeerPort;  // of the first record popped (0: none kept)
        std::uint64_t lost;
    };
    const Case cases[] = {
        // clang-format off
        {"a UDP ring gives each record its own peer, oldest first", UdpOptions{}, 2, 1, 0, 1, 0},
        {"a TCP ring keeps peers too", TcpOptions{}, 2, 1, 0, 1, 0},
        {"a serial ring keeps none", SerialOptions{}, 2, 1, 0, 0, 0},
        {"the peer of an overwritten record goes with it", UdpOptions{}, 3, 1, 0, 2, 1},
        {"every push into a full ring loses one record", SerialOptions{}, 5, 0, 0, 0, 3},
        {"a pop makes room: the next push loses nothing", TcpOptions{}, 2, 1, 1, 1, 0},
        {"records lost stay counted after pops", UdpOptions{}, 4, 2, 1, 3, 2},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        EnvironmentMap environments{{u"P", test::makeEnvironment(2, 4)}};
        environments[u"P"].port.kind = c.kind;
        TrafficStore store;
        store.prepare(environments);
        const auto pushRecord = [&store](int n) {
            const auto b = static_cast<std::uint8_t>(n);
            store.push(u"P", Bytes{b}, b, {}, UdpEndpoint{0x0A000000u + b, b});
        };
        int next = 1;
        for (; next <= c.pushes; ++next) pushRecord(next);
        Bytes data(4), extra(4);
        std::uint64_t time = 0;
        UdpEndpoint first{1, 1};
        for (int i = 0; i < c.pops; ++i) {
            UdpEndpoint peer{1, 1};
            ASSERT_EQ(store.pop(u"P", data, time, extra, peer), 1);
            if (i == 0) first = peer;
        }
        for (int i = 0; i < c.more; ++i, ++next) pushRecord(next);
        if (c.pops > 0) {
            EXPECT_EQ(first, (c.firstPeerPort == 0 ? UdpEndpoint{}
                                                    : UdpEndpoint{0x0A000000u + c.firstPeerPort, c.firstPeerPort}));
        }
        EXPECT_EQ(store.lost(u"P"), c.lost);
    }
}

}  // namespace
}  // namespace orvalix
