#include "core/traffic/traffic_stream.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "traffic_test_support.hpp"

namespace orvalix {
namespace {

using test::Bytes;
using test::makeEnvironment;
using test::makeExtra;

const std::vector<std::u16string> kFourConditions{u"A", u"B", u"C", u"D"};

// Appends one record and its marks as the pump does; returns the marks added.
std::int32_t pump(TrafficStream& stream, std::uint8_t n, std::vector<std::size_t> marks = {},
                  std::uint32_t attributeValue = 0) {
    const Bytes extra = makeExtra(stream.environment().namedConditions.size(), attributeValue, marks);
    stream.append(Bytes{n}, n, extra);
    return stream.addMarks(n, extra);
}

std::vector<std::int32_t> markPositions(const TrafficStream& stream) {
    std::vector<std::int32_t> positions;
    for (std::int32_t k = 0; k < stream.markCount(); ++k) {
        positions.push_back(stream.markPosition(k));
    }
    return positions;
}

TEST(TrafficStream, MarksFollowTheirRecordsAndBecomeMinusOneOnceOverwritten) {
    const Environment environment = makeEnvironment(2, 8, 0, 0, kFourConditions);
    TrafficStream stream(environment);
    pump(stream, 1, {0});
    pump(stream, 2, {1});
    EXPECT_EQ(markPositions(stream), (std::vector<std::int32_t>{0, 1}));
    pump(stream, 3);
    EXPECT_EQ(markPositions(stream), (std::vector<std::int32_t>{-1, 0}));
    pump(stream, 4);
    EXPECT_EQ(markPositions(stream), (std::vector<std::int32_t>{-1, -1}));
    pump(stream, 5);
    EXPECT_EQ(markPositions(stream), (std::vector<std::int32_t>{-1, -1})) << "-1 stays -1";
}

TEST(TrafficStream, EachMarkBitAddsOneMarkInAscendingConditionOrder) {
    const Environment environment = makeEnvironment(5, 8, 0, 0, kFourConditions);
    TrafficStream stream(environment);
    pump(stream, 1);
    EXPECT_EQ(pump(stream, 2, {3, 0}), 2);
    ASSERT_EQ(stream.markCount(), 2);
    EXPECT_EQ(stream.markConditionNumber(0), 0);
    EXPECT_EQ(stream.markConditionNumber(1), 3);
    EXPECT_EQ(markPositions(stream), (std::vector<std::int32_t>{1, 1}));
    EXPECT_EQ(stream.markTime(0), 2);
    EXPECT_EQ(stream.markTime(1), 2);
    EXPECT_EQ(pump(stream, 3), 0);
}

TEST(TrafficStream, TheThousandAndFirstMarkOverwritesTheFirst) {
    const Environment environment = makeEnvironment(2000, 4, 0, 0, {u"A"});
    TrafficStream stream(environment);
    for (std::uint64_t t = 1; t <= 1001; ++t) {
        const Bytes extra = makeExtra(1, 0, {0});
        stream.append(Bytes{1}, t, extra);
        stream.addMarks(t, extra);
    }
    EXPECT_EQ(stream.markCount(), TrafficStream::kMarkCapacity);
    EXPECT_EQ(stream.markTime(0), 2);
    EXPECT_EQ(stream.markPosition(0), 1);
    EXPECT_EQ(stream.markTime(999), 1001);
    EXPECT_EQ(stream.markPosition(999), 1000);
}

TEST(TrafficStream, MarkAccessorsGiveMinusOneWhereThereIsNoMark) {
    const Environment environment = makeEnvironment(3, 8, 0, 0, kFourConditions);
    TrafficStream stream(environment);
    EXPECT_EQ(stream.markCount(), 0);
    EXPECT_EQ(stream.markConditionNumber(0), -1);
    EXPECT_EQ(stream.markTime(0), -1);
    EXPECT_EQ(stream.markPosition(0), -1);
    pump(stream, 1, {1});
    EXPECT_EQ(stream.markConditionNumber(1), -1);
    EXPECT_EQ(stream.markConditionNumber(-1), -1);
}

TEST(TrafficStream, GetHandsOutTheAttributeOfReceivedAndSentRecords) {
    const Environment environment = makeEnvironment(3, 8, 0, 0, kFourConditions);
    TrafficStream stream(environment);
    std::uint64_t emptyTime = 9;
    std::uint32_t untouched = 0x12345678;
    EXPECT_EQ(stream.get(0, {}, emptyTime, untouched), 0);
    EXPECT_EQ(emptyTime, 0u);
    EXPECT_EQ(untouched, 0x12345678u) << "no record, no attribute";

    pump(stream, 1, {}, kReceivedAttribute);
    pump(stream, 2, {}, 0);
    struct Case {
        std::int32_t position;
        std::uint32_t attribute;
        std::uint8_t byte;
    };
    const Case cases[] = {{0, 0x80000000u, 1}, {1, 0, 2}, {5, 0, 2}, {-1, 0x80000000u, 1}};
    for (const Case& c : cases) {
        Bytes data(8, 0);
        std::uint64_t time = 0;
        std::uint32_t attributeValue = 0x12345678;
        EXPECT_EQ(stream.get(c.position, data, time, attributeValue), 1) << c.position;
        EXPECT_EQ(attributeValue, c.attribute) << c.position;
        EXPECT_EQ(data[0], c.byte) << c.position;
    }
    EXPECT_EQ(stream.recordCount(), 2) << "get never removes a record";
}

TEST(TrafficStream, ClearDropsRecordsAndMarks) {
    const Environment environment = makeEnvironment(3, 8, 0, 0, kFourConditions);
    TrafficStream stream(environment);
    pump(stream, 1, {0});
    pump(stream, 2, {1});
    stream.clear();
    EXPECT_EQ(stream.recordCount(), 0);
    EXPECT_EQ(stream.markCount(), 0);
    pump(stream, 3, {2});
    EXPECT_EQ(stream.markConditionNumber(0), 2);
    EXPECT_EQ(stream.markPosition(0), 0);
}

TEST(TrafficStream, ResetSizesTheRingFromTheEnvironmentAsItIsNow) {
    Environment environment = makeEnvironment(3, 8, 0, 0, kFourConditions);
    TrafficStream stream(environment);
    EXPECT_EQ(stream.ring().capacity(), 3);
    EXPECT_EQ(stream.ring().extraSize(), 8);
    pump(stream, 1, {0});

    environment.port.table[2][2] = u"7";
    environment.port.table[3][2] = u"2";
    stream.reset();
    EXPECT_EQ(stream.ring().capacity(), 7);
    EXPECT_EQ(stream.ring().maxLength(), 2);
    EXPECT_EQ(stream.recordCount(), 0);
    EXPECT_EQ(stream.markCount(), 0);
}

TEST(TrafficStream, AStreamThatKeepsNothingStillListsItsMarks) {
    const Environment environment = makeEnvironment(0, 8, 0, 0, kFourConditions);
    TrafficStream stream(environment);
    EXPECT_EQ(pump(stream, 1, {1}), 1);
    EXPECT_EQ(stream.recordCount(), 0);
    EXPECT_EQ(stream.markConditionNumber(0), 1);
    EXPECT_EQ(stream.markPosition(0), -1);
}

}  // namespace
}  // namespace orvalix
