#include "core/service/edge_bits.hpp"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "core/traffic/extra_block.hpp"
#include "service_test_support.hpp"

namespace orvalix {
namespace {

using test::frame;
using test::named;
using test::step;

// Evaluates the conditions over records whose byte 0 (under "X") takes the values given,
// and gives the mark and trigger bit of condition 0 for each record.
struct EdgeRun {
    std::vector<bool> marks;
    std::vector<bool> triggers;
};

EdgeRun runEdges(const std::vector<NamedCondition>& conditions, const std::vector<std::uint8_t>& values,
                 std::size_t condition = 0) {
    EdgeValues edges;
    EvaluationContext context;
    std::array<std::uint8_t, 1> x{};
    setNamedBytes(context.names, u"X", x.data(), 1);
    EdgeRun run;
    for (const std::uint8_t value : values) {
        x[0] = value;
        std::vector<std::uint8_t> extra(extraBlockSize(conditions.size()));
        computeEdgeBits(conditions, edges, context, extra);
        run.marks.push_back(markBit(extra, conditions.size(), condition));
        run.triggers.push_back(triggerBit(extra, conditions.size(), condition));
        EXPECT_EQ(attribute(extra), 0u);
    }
    return run;
}

TEST(ComputeEdgeBits, ABitIsSetOnlyWhenTheValueRises) {
    const auto run = runEdges({named("C", "X[0]")}, {1, 1, 1, 0, 2, 3});
    EXPECT_EQ(run.marks, (std::vector<bool>{true, false, false, false, true, false}));
    // Without a trigger text the trigger follows the mark.
    EXPECT_EQ(run.triggers, run.marks);
}

TEST(ComputeEdgeBits, MarkAndTriggerTextsReplaceTheCondition) {
    struct Case {
        const char* name;
        NamedCondition condition;
        std::vector<bool> marks;
        std::vector<bool> triggers;
    };
    // X takes 0, 1, 2, 3 in turn.
    const Case cases[] = {
        {"mark text wins over the condition", named("C", "1", "X[0] == 2"), {false, false, true, false},
         {false, false, true, false}},
        {"trigger text evaluated on its own", named("C", "X[0]", "", "X[0] >= 2"), {false, true, false, false},
         {false, false, true, false}},
        {"both texts", named("C", "0", "X[0] & 1", "X[0] == 3"), {false, true, false, true},
         {false, false, false, true}},
        {"a broken mark text is -1 and rises once", named("C", "0", test::kBroken), {true, false, false, false},
         {true, false, false, false}},
    };
    for (const Case& c : cases) {
        const auto run = runEdges({c.condition}, {0, 1, 2, 3});
        EXPECT_EQ(run.marks, c.marks) << c.name;
        EXPECT_EQ(run.triggers, c.triggers) << c.name;
    }
}

TEST(ComputeEdgeBits, EachConditionOwnsItsBit) {
    std::vector<NamedCondition> conditions;
    for (int i = 0; i < 10; ++i) {
        conditions.push_back(named("C" + std::to_string(i), i == 9 ? "X[0]" : "0"));
    }
    const auto ninth = runEdges(conditions, {0, 1}, 9);
    EXPECT_EQ(ninth.marks, (std::vector<bool>{false, true}));
    const auto first = runEdges(conditions, {0, 1}, 0);
    EXPECT_EQ(first.marks, (std::vector<bool>{false, false}));
}

TEST(ComputeEdgeBits, ReceivedAndSentRecordsShareThePreviousValues) {
    test::Rig rig;
    rig.setFrames({{u"F", frame({"1"})}});
    test::FakePort& port = rig.add(u"U", test::udpEnvironment({step("1", "F")}, {named("Any", "1")}));
    rig.start();
    port.incoming.push_back({1});
    rig.cycle();
    ASSERT_EQ(rig.pushed.size(), 2u);
    EXPECT_TRUE(rig.pushed[0].received());
    EXPECT_TRUE(markBit(rig.pushed[0].extra, 1, 0));
    EXPECT_FALSE(rig.pushed[1].received());
    EXPECT_EQ(rig.pushed[1].attribute(), 0u);
    EXPECT_FALSE(markBit(rig.pushed[1].extra, 1, 0));
}

TEST(ComputeEdgeBits, ASentRecordSeesTheFrameJustBuiltAsT) {
    test::Rig rig;
    rig.setFrames({{u"F", frame({"7"})}});
    test::FakePort& port =
        rig.add(u"U", test::udpEnvironment({step("R[0] >= 0", "F")}, {named("Sent7", "0", "T[0] == 7")}));
    rig.start();
    port.incoming.push_back({1});
    rig.cycle();
    ASSERT_EQ(rig.pushed.size(), 2u);
    EXPECT_FALSE(markBit(rig.pushed[0].extra, 1, 0));  // nothing built yet when received
    EXPECT_TRUE(markBit(rig.pushed[1].extra, 1, 0));
}

}  // namespace
}  // namespace orvalix
