#include "core/traffic/traffic_store.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "traffic_test_support.hpp"

namespace orvalix {
namespace {

using test::Bytes;
using test::makeEnvironment;

std::int32_t popLength(TrafficStore& store, std::u16string_view name, Bytes* data = nullptr,
                       std::uint64_t* time = nullptr) {
    Bytes buffer(64, 0);
    Bytes extra(64, 0);
    std::uint64_t popped = 0xDEAD;
    const std::int32_t length = store.pop(name, buffer, popped, extra);
    if (data != nullptr) {
        buffer.resize(static_cast<std::size_t>(length));
        *data = buffer;
    }
    if (time != nullptr) {
        *time = popped;
    }
    return length;
}

EnvironmentMap twoEnvironments() {
    EnvironmentMap environments;
    environments[u"P1"] = makeEnvironment(2, 3, 0, 0, {u"a", u"b", u"c", u"d", u"e", u"f", u"g", u"h", u"i"});
    Environment unusable = makeEnvironment(4, 4);
    unusable.port.table[1][2] = u"";  // no port name
    environments[u"P2"] = unusable;
    return environments;
}

TEST(TrafficStore, OnlyUsableEnvironmentsGetARingSizedFromTheirSettings) {
    TrafficStore store;
    store.prepare(twoEnvironments());
    ASSERT_NE(store.ring(u"P1"), nullptr);
    EXPECT_EQ(store.ring(u"P1")->capacity(), 2);
    EXPECT_EQ(store.ring(u"P1")->maxLength(), 3);
    EXPECT_EQ(store.ring(u"P1")->extraSize(), 8);
    EXPECT_EQ(store.ring(u"P2"), nullptr);
}

TEST(TrafficStore, PushAndPopIgnoreNamesWithoutARingAndEmptyFrames) {
    TrafficStore store;
    store.prepare(twoEnvironments());
    store.push(u"P1", {}, 1, {});
    for (const std::u16string_view name : {u"P2", u"P3", u""}) {
        store.push(name, Bytes{1}, 1, {});
        std::uint64_t time = 0;
        EXPECT_EQ(popLength(store, name, nullptr, &time), 0);
        EXPECT_EQ(time, 0u);
    }
    EXPECT_EQ(store.ring(u"P1")->size(), 0);
}

TEST(TrafficStore, PopHandsOutTheOldestRecordCutToTheMaximumLength) {
    TrafficStore store;
    store.prepare(twoEnvironments());
    store.push(u"P1", Bytes{1, 2, 3, 4, 5}, 10, {});
    store.push(u"P1", Bytes{6}, 11, {});

    Bytes data;
    std::uint64_t time = 0;
    EXPECT_EQ(popLength(store, u"P1", &data, &time), 3);
    EXPECT_EQ(data, (Bytes{1, 2, 3}));
    EXPECT_EQ(time, 10u);
    EXPECT_EQ(popLength(store, u"P1", &data, &time), 1);
    EXPECT_EQ(time, 11u);
    EXPECT_EQ(popLength(store, u"P1"), 0);
}

TEST(TrafficStore, PrepareStartsEveryRingEmpty) {
    TrafficStore store;
    const EnvironmentMap environments = twoEnvironments();
    store.prepare(environments);
    store.push(u"P1", Bytes{1}, 1, {});
    store.prepare(environments);
    EXPECT_EQ(popLength(store, u"P1"), 0);
}

}  // namespace
}  // namespace orvalix
