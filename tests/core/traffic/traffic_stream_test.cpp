#include "core/traffic/traffic_stream.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>
#include <vector>

#include "core/traffic/extra_block.hpp"
#include "traffic_test_support.hpp"

namespace orvalix {
namespace {

using test::Bytes;
using Mark = std::tuple<std::int32_t, std::int64_t, std::int32_t>;  // condition, time, position
using Marks = std::vector<Mark>;

constexpr Mark kNone{-1, -1, -1};
const std::vector<std::u16string> kFourConditions{u"A", u"B", u"C", u"D"};

// Appends record n (see dataOf) at time n and its marks as the pump does; returns the marks added.
std::int32_t pump(TrafficStream& stream, int n, const std::vector<std::size_t>& marks = {}) {
    const std::size_t conditions = stream.environment().namedConditions.size();
    const Bytes extra = test::makeExtra(conditions, test::attributeOf(n), marks);
    stream.append(test::dataOf(n), static_cast<std::uint64_t>(n), extra);
    return stream.addMarks(static_cast<std::uint64_t>(n), extra);
}

// Every mark, with the one before the first and the one past the last, which read as -1.
Marks marksOf(const TrafficStream& stream) {
    Marks marks;
    for (std::int32_t k = -1; k <= stream.markCount(); ++k) {
        marks.emplace_back(stream.markConditionNumber(k), stream.markTime(k), stream.markPosition(k));
    }
    return marks;
}

TEST(TrafficStream, MarksFollowTheirRecordInConditionOrderAndBecomeMinusOneOnceItIsOverwritten) {
    const Environment environment = test::makeEnvironment(2, 8, kFourConditions);
    TrafficStream stream(environment);
    EXPECT_EQ(pump(stream, 1), 0);
    EXPECT_EQ(pump(stream, 2, {3, 0}), 2);
    EXPECT_EQ(marksOf(stream), (Marks{kNone, {0, 2, 1}, {3, 2, 1}, kNone}));
    pump(stream, 3);
    EXPECT_EQ(marksOf(stream), (Marks{kNone, {0, 2, 0}, {3, 2, 0}, kNone}));
    pump(stream, 4);
    pump(stream, 5);
    EXPECT_EQ(marksOf(stream), (Marks{kNone, {0, 2, -1}, {3, 2, -1}, kNone})) << "-1 stays -1";

    const Environment keepsNothing = test::makeEnvironment(0, 8, kFourConditions);
    TrafficStream empty(keepsNothing);
    EXPECT_EQ(pump(empty, 1, {1}), 1);
    EXPECT_EQ(marksOf(empty), (Marks{kNone, {1, 1, -1}, kNone})) << "a stream that keeps nothing lists marks";
}

TEST(TrafficStream, TheThousandAndFirstMarkOverwritesTheFirst) {
    const Environment environment = test::makeEnvironment(2000, 4, {u"A"});
    TrafficStream stream(environment);
    for (int n = 1; n <= 1001; ++n) pump(stream, n, {0});
    EXPECT_EQ(stream.markCount(), TrafficStream::kMarkCapacity);
    EXPECT_EQ(marksOf(stream)[1], Mark(0, 2, 1));
    EXPECT_EQ(marksOf(stream)[1000], Mark(0, 1001, 1000));
}

// Record 1 is received, record 2 sent.
TEST(TrafficStream, GetClampsThePositionKeepsTheRecordAndHandsOutItsAttribute) {
    const Environment environment = test::makeEnvironment(3, 8);
    TrafficStream stream(environment);
    std::uint64_t time = 9;
    std::uint32_t attributeValue = 0x12345678;
    Bytes data(8, 0);
    EXPECT_EQ(stream.get(0, data, time, attributeValue), 0);
    EXPECT_EQ(std::tuple(time, attributeValue), std::tuple(0u, 0x12345678u)) << "no record, no attribute";
    pump(stream, 2);
    pump(stream, 1);
    const std::tuple<std::int32_t, std::uint8_t> cases[] = {{0, 2}, {1, 1}, {5, 1}, {-1, 2}};
    for (const auto& [position, n] : cases) {
        EXPECT_EQ(stream.get(position, data, time, attributeValue), 1) << position;
        EXPECT_EQ(std::tuple(data[0], time, attributeValue), std::tuple(n, n, test::attributeOf(n)));
    }
    EXPECT_EQ(stream.recordCount(), 2);
}

TEST(TrafficStream, ClearDropsRecordsAndMarksAndResetResizesFromTheEnvironmentAsItIsNow) {
    Environment environment = test::makeEnvironment(3, 8, kFourConditions);
    TrafficStream stream(environment);
    pump(stream, 1, {0});
    stream.clear();
    pump(stream, 3, {2});
    EXPECT_EQ(marksOf(stream), (Marks{kNone, {2, 3, 0}, kNone}));
    EXPECT_EQ(stream.recordCount(), 1);
    environment = test::makeEnvironment(7, 2, kFourConditions);
    stream.reset();
    EXPECT_EQ(std::tuple(stream.ring().capacity(), stream.ring().maxLength(), stream.markCount()),
              std::tuple(7, 2, 0));
}

TEST(ExtraBlock, AttributeIsLittleEndianThenTwoBitSetsRoundedToFourBytes) {
    const std::pair<std::size_t, std::size_t> sizes[] = {{0, 4},   {1, 8},   {16, 8},  {17, 12},
                                                         {32, 12}, {33, 16}, {49, 20}, {64, 20}};
    for (const auto& [conditions, size] : sizes) EXPECT_EQ(extraBlockSize(conditions), size) << conditions;
    Bytes extra(8, 0);
    setAttribute(extra, 0x80000012u);
    EXPECT_EQ(extra, (Bytes{0x12, 0x00, 0x00, 0x80, 0, 0, 0, 0}));
    EXPECT_EQ(attribute(Bytes{0x80, 0, 0}), 0u) << "a block without an attribute";
}

// With n conditions the mark bits start at byte 4 and the trigger bits (n + 7) / 8 bytes later;
// conditions outside the count, or outside a block cut short, are neither read nor written.
// A case: conditions, block size, trigger (1) or mark (0) bit, condition, byte and mask it sets.
TEST(ExtraBlock, ConditionIIsBitIMod8OfByteIDiv8OfItsSet) {
    const std::tuple<std::size_t, std::size_t, bool, std::size_t, std::size_t, std::uint8_t> cases[] = {
        // clang-format off
        {1, 8, 0, 0, 4, 0x01}, {1, 8, 1, 0, 5, 0x01}, {8, 8, 1, 7, 5, 0x80}, {9, 8, 0, 8, 5, 0x01},
        {9, 8, 1, 0, 6, 0x01}, {9, 8, 1, 8, 7, 0x01}, {9, 8, 0, 9, 0, 0}, {9, 8, 1, 16, 0, 0},
        {17, 12, 0, 16, 6, 0x01}, {17, 12, 1, 16, 9, 0x01}, {32, 12, 1, 31, 11, 0x80}, {9, 4, 1, 0, 0, 0},
        // clang-format on
    };
    for (const auto& [conditions, blockSize, trigger, condition, byte, mask] : cases) {
        SCOPED_TRACE(testing::Message() << conditions << " conditions, condition " << condition);
        Bytes extra(blockSize, 0), expected(blockSize, 0);
        (trigger ? setTriggerBit : setMarkBit)(extra, conditions, condition);
        expected[byte] |= mask;
        EXPECT_EQ(extra, expected);
        for (std::size_t i = 0; i < conditions + 2; ++i) {
            EXPECT_EQ(markBit(extra, conditions, i), i == condition && mask != 0 && !trigger) << i;
            EXPECT_EQ(triggerBit(extra, conditions, i), i == condition && mask != 0 && trigger) << i;
        }
    }
    const Bytes full(extraBlockSize(9), 0xFF);
    EXPECT_FALSE(markBit(full, 9, 9) || triggerBit(full, 9, 100) || markBit(Bytes(4, 0xFF), 9, 0));
}

}  // namespace
}  // namespace orvalix
