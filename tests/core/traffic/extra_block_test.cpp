#include "core/traffic/extra_block.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace orvalix {
namespace {

TEST(ExtraBlockSize, TwoBitSetsAndTheAttributeRoundedToFourBytes) {
    struct Case {
        std::size_t conditions;
        std::size_t size;
    };
    const Case cases[] = {{0, 4},  {1, 8},  {8, 8},   {9, 8},   {16, 8},  {17, 12},
                          {24, 12}, {32, 12}, {33, 16}, {48, 16}, {49, 20}, {64, 20}};
    for (const Case& c : cases) {
        EXPECT_EQ(extraBlockSize(c.conditions), c.size) << c.conditions << " conditions";
    }
}

TEST(ExtraBlockBits, ConditionIIsBitIMod8OfByteIDiv8OfItsSet) {
    enum class Set { Mark, Trigger };
    struct Case {
        std::size_t conditions;
        Set set;
        std::size_t condition;
        std::size_t byte;
        std::uint8_t mask;
    };
    const Case cases[] = {
        {1, Set::Mark, 0, 4, 0x01},     {1, Set::Trigger, 0, 5, 0x01},  {8, Set::Trigger, 7, 5, 0x80},
        {9, Set::Mark, 0, 4, 0x01},     {9, Set::Mark, 8, 5, 0x01},     {9, Set::Trigger, 0, 6, 0x01},
        {9, Set::Trigger, 8, 7, 0x01},  {9, Set::Mark, 3, 4, 0x08},     {17, Set::Mark, 16, 6, 0x01},
        {17, Set::Trigger, 16, 9, 0x01}, {32, Set::Trigger, 31, 11, 0x80},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> extra(extraBlockSize(c.conditions), 0);
        if (c.set == Set::Mark) {
            setMarkBit(extra, c.conditions, c.condition);
        } else {
            setTriggerBit(extra, c.conditions, c.condition);
        }
        std::vector<std::uint8_t> expected(extra.size(), 0);
        expected[c.byte] = c.mask;
        EXPECT_EQ(extra, expected) << c.conditions << " conditions, condition " << c.condition;
        for (std::size_t i = 0; i < c.conditions; ++i) {
            const bool wanted = i == c.condition;
            EXPECT_EQ(markBit(extra, c.conditions, i), wanted && c.set == Set::Mark) << i;
            EXPECT_EQ(triggerBit(extra, c.conditions, i), wanted && c.set == Set::Trigger) << i;
        }
    }
}

TEST(ExtraBlockBits, ConditionsOutsideTheCountOrTheBlockAreNeitherReadNorWritten) {
    std::vector<std::uint8_t> extra(extraBlockSize(9), 0xFF);
    EXPECT_FALSE(markBit(extra, 9, 9));
    EXPECT_FALSE(triggerBit(extra, 9, 100));

    std::vector<std::uint8_t> zeros(extraBlockSize(9), 0);
    setMarkBit(zeros, 9, 9);
    setTriggerBit(zeros, 9, 16);
    EXPECT_EQ(zeros, std::vector<std::uint8_t>(zeros.size(), 0));

    // A block cut short (only the attribute) has no bits at all.
    std::vector<std::uint8_t> shortBlock(4, 0xFF);
    EXPECT_FALSE(markBit(shortBlock, 9, 0));
    setTriggerBit(shortBlock, 9, 0);
    EXPECT_EQ(shortBlock, std::vector<std::uint8_t>(4, 0xFF));
}

TEST(ExtraBlockAttribute, IsLittleEndianInTheFirstFourBytes) {
    struct Case {
        std::uint32_t value;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {0x80000000u, {0x00, 0x00, 0x00, 0x80, 0, 0, 0, 0}},
        {0x80000012u, {0x12, 0x00, 0x00, 0x80, 0, 0, 0, 0}},
        {0x00000000u, {0x00, 0x00, 0x00, 0x00, 0, 0, 0, 0}},
        {0x01020304u, {0x04, 0x03, 0x02, 0x01, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> extra(8, 0);
        setAttribute(extra, c.value);
        EXPECT_EQ(extra, c.bytes);
        EXPECT_EQ(attribute(extra), c.value);
    }
    EXPECT_EQ(attribute(std::vector<std::uint8_t>{0x80, 0, 0}), 0u) << "a block without an attribute";
}

}  // namespace
}  // namespace orvalix
