#include "core/service/receive.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service_test_support.hpp"

namespace orvalix {
namespace {

using test::Bytes;
using test::frame;
using test::matching;
using test::named;
using test::step;

TEST(CharacterTimedOut, ComparesTheSilenceWithTheLimitAsSignedValues) {
    struct Case {
        std::uint64_t silence;
        std::int64_t limit;
        bool timedOut;
    };
    const Case cases[] = {
        {0, 0, false},          {1, 0, true},
        {0, -1, true},          {10000, 10000, false},
        {10001, 10000, true},   {0, -10000, true},
        {999999, 1000000, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(characterTimedOut(test::kStart + c.silence, test::kStart, c.limit), c.timedOut)
            << c.silence << " against " << c.limit;
    }
}

TEST(CharacterTimeout, IsTheSettingInHundredNanosecondUnits) {
    const std::pair<int, std::int64_t> cases[] = {{0, 0}, {20, 200000}, {-1, -10000}, {1000, 10000000}};
    for (const auto& [milliseconds, limit] : cases) {
        test::Rig rig;
        rig.add(u"S", test::serialEnvironment(milliseconds, {}));
        rig.start();
        EXPECT_EQ(rig.environment(0).characterTimeoutLimit, limit) << milliseconds;
    }
}

// A serial environment whose step never transmits, so only the time-out ends frames.
struct SilentSerial : ::testing::Test {
    test::Rig rig;

    test::FakePort& start(int characterTimeoutMs, std::vector<SequenceStep> sequence = {step("0")},
                          std::vector<NamedCondition> conditions = {}) {
        test::FakePort& port =
            rig.add(u"S", test::serialEnvironment(characterTimeoutMs, std::move(sequence), std::move(conditions)));
        rig.start();
        return port;
    }
};

TEST_F(SilentSerial, ZeroTimeoutReportsTheCollectedBytesInTheFirstCycleWithoutNewBytes) {
    test::FakePort& port = start(0);
    port.incoming.push_back({1, 2});
    port.incoming.push_back({3});
    rig.cycle();
    rig.cycle();
    EXPECT_TRUE(rig.pushed.empty());
    EXPECT_EQ(rig.environment(0).receiveBuffer.length, 3u);

    rig.cycle();
    ASSERT_EQ(rig.pushed.size(), 1u);
    EXPECT_EQ(rig.pushed[0].data, (Bytes{1, 2, 3}));
    EXPECT_EQ(rig.pushed[0].time, rig.now());
    EXPECT_EQ(rig.environment(0).receiveBuffer.length, 0u);
    EXPECT_EQ(matching(rig.checkpoints(), "Charactor timeouted.").size(), 1u);
}

TEST_F(SilentSerial, NegativeTimeoutReportsEachByteAsAFrame) {
    test::FakePort& port = start(-1);
    port.incoming.push_back({7, 8, 9});
    rig.cycle();
    ASSERT_EQ(rig.pushed.size(), 3u);
    EXPECT_EQ(rig.pushed[0].data, Bytes{7});
    EXPECT_EQ(rig.pushed[1].data, Bytes{8});
    EXPECT_EQ(rig.pushed[2].data, Bytes{9});
}

TEST_F(SilentSerial, AnEmptySequenceNeverReportsAndTheBufferStopsAtItsSize) {
    test::FakePort& port = start(-1, {});
    port.incoming.push_back(Bytes(16000, 0x11));
    port.incoming.push_back(Bytes(1000, 0x22));
    rig.cycle();
    rig.cycle();
    rig.cycle();
    EXPECT_TRUE(rig.pushed.empty());
    const ByteBuffer& buffer = rig.environment(0).receiveBuffer;
    ASSERT_EQ(buffer.length, kMaxFrameLength);
    EXPECT_EQ(buffer.data[15999], 0x11);
    EXPECT_EQ(buffer.data[16000], 0x22);
    EXPECT_EQ(buffer.data[kMaxFrameLength - 1], 0x22);
}

TEST_F(SilentSerial, NamedConditionsSeeTheFrameGrowByteByByte) {
    // The jump value shows, per pass, the second and third byte of what "Req" holds.
    test::FakePort& port = start(1000, {step("0", "", "", "Req[1] * 1000 + Req[2]")}, {named("Req", "R[1] >= 0")});
    port.incoming.push_back({1, 2, 3});
    rig.cycle();
    EXPECT_TRUE(rig.pushed.empty());
    EXPECT_EQ(rig.stored(u"Req"), (Bytes{1, 2, 3}));
    EXPECT_EQ(matching(rig.checkpoints(), "JumpCondition"),
              (std::vector<std::string>{"JumpCondition has evaluated. = -1001",
                                        "JumpCondition has evaluated. = 1999",
                                        "JumpCondition has evaluated. = 2003"}));
}

TEST_F(SilentSerial, AReportedFrameCarriesTheStatusOfItsCycle) {
    test::FakePort& port = start(1000, {step("R[1] >= 0")});
    port.status = 0x0008;
    port.incoming.push_back({1, 2});
    rig.cycle();
    ASSERT_EQ(rig.pushed.size(), 1u);
    EXPECT_EQ(rig.pushed[0].attribute(), 0x80000008u);
    EXPECT_EQ(matching(rig.checkpoints(), "Detected Rx Frame.").size(), 1u);
}

TEST(FramePortReceive, ADatagramIsReportedInItsCycleWhateverTheConditions) {
    test::Rig rig;
    test::FakePort& port = rig.add(u"U", test::udpEnvironment({step("0")}, {named("Never", "0")}));
    rig.start();
    port.status = 5;
    port.incoming.push_back({9, 8, 7});
    rig.cycle();
    ASSERT_EQ(rig.pushed.size(), 1u);
    EXPECT_EQ(rig.pushed[0].environment, u"U");
    EXPECT_EQ(rig.pushed[0].data, (Bytes{9, 8, 7}));
    EXPECT_EQ(rig.pushed[0].attribute(), 0x80000005u);
    EXPECT_EQ(rig.pushed[0].time, rig.now());
    EXPECT_TRUE(matching(rig.checkpoints(), "Detected Rx Frame.").empty());  // serial ports only

    rig.cycle();
    EXPECT_EQ(rig.pushed.size(), 1u);
    EXPECT_EQ(rig.environment(0).receiveBuffer.length, 0u);
}

TEST(FramePortReceive, RHoldsExactlyTheDatagramOfTheCycle) {
    test::Rig rig;
    rig.setFrames({{u"Echo", frame({"R[0]", "R[1]", "R[2]"})}});
    test::FakePort& port = rig.add(u"U", test::udpEnvironment({step("R[0] >= 0", "Echo")}));
    rig.start();
    port.incoming.push_back({1, 2, 3});
    port.incoming.push_back({4});
    rig.cycle();
    rig.cycle();
    EXPECT_EQ(port.written, (std::vector<Bytes>{{1, 2, 3}, {4, 0xFF, 0xFF}}));
}

TEST(FramePortReceive, RepliesGoToTheLastSenderUntilAnotherOneSends) {
    test::Rig rig;
    rig.setFrames({{u"F", frame({"1"})}});
    test::FakePort& port = rig.add(u"U", test::udpEnvironment({step("1", "F")}));
    rig.start();
    rig.cycle();
    port.sender.bytes[2] = 0x13;
    port.incoming.push_back({1});
    rig.cycle();
    rig.cycle();
    ASSERT_EQ(port.destinations.size(), 3u);
    EXPECT_EQ(port.destinations[0], SocketAddress{});
    EXPECT_EQ(port.destinations[1], port.sender);
    EXPECT_EQ(port.destinations[2], port.sender);
}

TEST(NamedConditions, AreEvaluatedAlsoWhenNothingWasReceived) {
    test::Rig rig;
    rig.add(u"U", test::udpEnvironment({step("0", "", "", "Empty[0]")}, {named("Empty", "1"), named("Never", "0")}));
    rig.start();
    rig.cycle();
    const auto& store = rig.runtime().namedStore;
    ASSERT_TRUE(store.contains(u"Empty"));
    EXPECT_EQ(store.find(u"Empty")->second.length, 0u);
    EXPECT_FALSE(store.contains(u"Never"));
    EXPECT_EQ(matching(rig.checkpoints(), "JumpCondition"),
              std::vector<std::string>{"JumpCondition has evaluated. = -1"});
}

TEST(NamedConditions, AConditionThatStopsHoldingKeepsItsEarlierFrame) {
    test::Rig rig;
    test::FakePort& port = rig.add(u"U", test::udpEnvironment({}, {named("First", "R[0] == 1")}));
    rig.start();
    port.incoming.push_back({1, 5});
    port.incoming.push_back({2, 6});
    rig.cycle();
    rig.cycle();
    EXPECT_EQ(rig.stored(u"First"), (Bytes{1, 5}));
}

TEST(NamedConditions, AreSharedByAllEnvironmentsFromTheNextPassOn) {
    // B is visited first: what it recognises is readable by A in the same cycle.
    test::Rig rig;
    test::FakePort& b = rig.add(u"B", test::udpEnvironment({}, {named("FromB", "1")}));
    rig.add(u"A", test::udpEnvironment({step("0", "", "", "FromB[0]")}));
    rig.start();
    b.incoming.push_back({42});
    rig.cycle();
    EXPECT_EQ(matching(rig.checkpoints(), "JumpCondition"),
              std::vector<std::string>{"JumpCondition has evaluated. = 42"});
}

TEST(ActivityTimes, CountFromTheLastReportedFrameAndTheLastSentFrame) {
    test::Rig rig;
    rig.setFrames({{u"F", frame({"1"})}});
    // Sends once, at the first datagram; the jump value shows the activity times in ms.
    test::FakePort& port = rig.add(u"U", test::udpEnvironment({step("R[0] == 1", "F", "", "SinceLastRx * 1000 + SinceLastTx")}));
    rig.start();
    rig.cycle();                    // 10 ms after start
    port.incoming.push_back({1});
    rig.cycle();                    // 20 ms: received and sent, after the entry was taken
    rig.cycle(3 * test::kCycle);    // 50 ms
    EXPECT_EQ(matching(rig.checkpoints(), "JumpCondition"),
              (std::vector<std::string>{"JumpCondition has evaluated. = 10010",
                                        "JumpCondition has evaluated. = 20020", "JumpCondition has evaluated. = 30030"}));
}

}  // namespace
}  // namespace orvalix
