#include "core/service/sequence.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service_test_support.hpp"

namespace orvalix {
namespace {

using test::Bytes;
using test::frame;
using test::matching;
using test::step;

TEST(LabelIndex, MapsEachJumpTargetToTheLastStepCarryingItsLabel) {
    struct Case {
        const char* name;
        std::vector<SequenceStep> sequence;
        LabelIndex expected;
    };
    const Case cases[] = {
        {"target named by a later step",
         {step("1", "", "B"), step("0", "", "", "", "A"), step("0", "", "", "", "B")},
         {{u"B", 2}}},
        {"two steps with the same label: the later one wins",
         {step("1", "", "X"), step("0", "", "", "", "X"), step("0", "", "", "", "X"), step("0")},
         {{u"X", 2}}},
        {"a target no step carries is absent", {step("1", "", "Nowhere"), step("0", "", "", "", "A")}, {}},
        {"labels no jump names are absent", {step("0", "", "", "", "A"), step("0", "", "", "", "B")}, {}},
        {"labels compare exactly", {step("1", "", "b"), step("0", "", "", "", "B"), step("0", "", "", "", "b ")}, {}},
        {"a step may name its own label", {step("1", "", "Self", "", "Self")}, {{u"Self", 0}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(buildLabelIndex(c.sequence), c.expected) << c.name;
    }
}

// One environment on a frame port; frame "F" is the byte 0x46, "G" the byte 0x47.
struct FramePortSequence : ::testing::Test {
    test::Rig rig;

    test::FakePort& start(std::vector<SequenceStep> sequence) {
        rig.setFrames({{u"F", frame({"0x46"})}, {u"G", frame({"0x47"})}});
        test::FakePort& port = rig.add(u"U", test::udpEnvironment(std::move(sequence)));
        rig.start();
        return port;
    }
};

TEST_F(FramePortSequence, StepsWhoseJumpIsZeroFallThroughAndTheLastStepRepeats) {
    start({step("0"), step("0"), step("0")});
    rig.cycle();
    EXPECT_EQ(rig.environment(0).stepIndex, 3);
    auto first = rig.checkpoints();
    EXPECT_EQ(matching(first, "TxCondition").size(), 3u);
    EXPECT_EQ(matching(first, "Start index is"), std::vector<std::string>{"Start index is 0"});

    rig.cycle();
    auto second = rig.checkpoints();
    EXPECT_EQ(matching(second, "TxCondition").size(), 1u);
    EXPECT_EQ(matching(second, "Start index is"), std::vector<std::string>{"Start index is 2"});
    EXPECT_EQ(rig.environment(0).stepIndex, 3);
}

TEST_F(FramePortSequence, ATakenJumpSendsEndsTheTurnAndMovesToTheLabel) {
    test::FakePort& port = start({step("1", "F", "B"), step("1", "G", "", "", "A"), step("0", "", "", "", "B")});
    rig.cycle();
    EXPECT_EQ(port.written, (std::vector<Bytes>{{0x46}}));
    EXPECT_EQ(rig.environment(0).stepIndex, 2);
    rig.cycle();
    EXPECT_EQ(port.written.size(), 1u);
    EXPECT_EQ(matching(rig.checkpoints(), "Start index is").back(), "Start index is 2");
}

TEST_F(FramePortSequence, JumpValueAndTarget) {
    struct Case {
        const char* name;
        std::vector<SequenceStep> sequence;
        std::int32_t indexAfter;
        std::size_t framesSent;
    };
    const Case cases[] = {
        {"no jump text: the transmit value jumps; an unknown target stays", {step("1", "F", "Nowhere"), step("0")}, 0,
         1},
        {"no jump text and no target: stays and sends", {step("1", "F"), step("0")}, 0, 1},
        {"a jump text is evaluated instead of the transmit value", {step("0", "F", "B", "1"), step("0", "", "", "", "B")},
         1, 0},
        {"a jump text of 0 falls through although the step sent",
         {step("1", "F", "B", "0"), step("0", "", "", "", "B"), step("0")}, 3, 1},
        {"a jump text that does not compile jumps", {step("0", "", "B", test::kBroken), step("0", "", "", "", "B")}, 1, 0},
        {"a transmit condition that does not compile is true", {step(test::kBroken, "F", "B"), step("0", "", "", "", "B")}, 1,
         1},
        {"a missing frame sends nothing but still jumps", {step("1", "Missing", "B"), step("0", "", "", "", "B")}, 1, 0},
    };
    for (const Case& c : cases) {
        test::Rig fresh;
        fresh.setFrames({{u"F", frame({"0x46"})}});
        test::FakePort& port = fresh.add(u"U", test::udpEnvironment(c.sequence));
        fresh.start();
        fresh.cycle();
        EXPECT_EQ(fresh.environment(0).stepIndex, c.indexAfter) << c.name;
        EXPECT_EQ(port.written.size(), c.framesSent) << c.name;
    }
}

TEST_F(FramePortSequence, AnEmptySequenceStaysAtZero) {
    test::FakePort& port = start({});
    port.incoming.push_back({1, 2});
    rig.cycle();
    rig.cycle();
    EXPECT_EQ(rig.environment(0).stepIndex, 0);
    EXPECT_TRUE(port.written.empty());
    EXPECT_EQ(matching(rig.checkpoints(), "Start index is"),
              (std::vector<std::string>{"Start index is 0", "Start index is 0"}));
}

TEST(SerialSequence, ARequestCompletesInTheTurnOfItsLastByteAndIsAnsweredThere) {
    test::Rig rig;
    rig.setFrames({{u"Reply", frame({"0x06", "R[4]"})}});
    test::FakePort& port = rig.add(u"S", test::serialEnvironment(1000, {step("R[4] >= 0", "Reply")}));
    rig.start();
    port.incoming.push_back({1, 2, 3, 4, 5});
    rig.cycle();

    ASSERT_EQ(rig.pushed.size(), 2u);
    EXPECT_TRUE(rig.pushed[0].received());
    EXPECT_EQ(rig.pushed[0].data, (Bytes{1, 2, 3, 4, 5}));
    EXPECT_FALSE(rig.pushed[1].received());
    EXPECT_EQ(rig.pushed[1].data, (Bytes{0x06, 5}));
    EXPECT_EQ(port.written, (std::vector<Bytes>{{0x06, 5}}));
    EXPECT_EQ(rig.environment(0).receiveBuffer.length, 0u);

    const auto texts = rig.checkpoints();
    EXPECT_EQ(matching(texts, "TxCondition"),
              (std::vector<std::string>{"TxCondition has evaluated. = 0", "TxCondition has evaluated. = 0",
                                        "TxCondition has evaluated. = 0", "TxCondition has evaluated. = 0",
                                        "TxCondition has evaluated. = 1"}));
    const auto detected = std::find(texts.begin(), texts.end(), "Detected Rx Frame.");
    ASSERT_NE(detected, texts.end());
    EXPECT_EQ(*(detected + 1), "Ready to send.");
    EXPECT_EQ(*(detected + 2), "Sent.");
    EXPECT_TRUE(matching(texts, "Start index is").empty());
}

TEST(OneWriteInFlight, TwoStepsSendingInOneTurn) {
    struct Case {
        const char* name;
        bool serial;
        std::vector<Bytes> written;
    };
    const Case cases[] = {
        {"serial: the second finds the first write in flight and skips", true, {{0x46}}},
        {"UDP: the write completes at once, so both are sent", false, {{0x46}, {0x47}}},
    };
    for (const Case& c : cases) {
        test::Rig rig;
        rig.setFrames({{u"F", frame({"0x46"})}, {u"G", frame({"0x47"})}});
        std::vector<SequenceStep> sequence{step("1", "F", "", "0"), step("1", "G", "", "0")};
        test::FakePort& port = rig.add(u"E", c.serial ? test::serialEnvironment(1000, sequence)
                                                       : test::udpEnvironment(sequence));
        port.writesCompleteAtOnce = !c.serial;
        rig.start();
        rig.cycle();
        EXPECT_EQ(port.written, c.written) << c.name;
        EXPECT_EQ(rig.pushed.size(), c.written.size()) << c.name;
    }
}

TEST(OneWriteInFlight, ACompletedWriteLetsTheNextTurnSend) {
    test::Rig rig;
    rig.setFrames({{u"F", frame({"0x46"})}});
    test::FakePort& port = rig.add(u"S", test::serialEnvironment(1000, {step("1", "F")}));
    port.writesCompleteAtOnce = false;
    rig.start();
    rig.cycle();
    rig.cycle();
    EXPECT_EQ(port.written.size(), 1u);
    port.complete();
    rig.cycle();
    EXPECT_EQ(port.written.size(), 2u);
}

}  // namespace
}  // namespace orvalix
