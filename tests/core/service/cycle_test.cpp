#include "core/service/cycle.hpp"

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

TEST(CycleTimes, EachCycleMeasuresFromStartAndFromThePreviousCycle) {
    test::Rig rig;
    rig.start(test::kStart);
    struct Expected {
        std::uint64_t elapsed;
        std::int64_t sinceStart;
        std::int64_t sinceLast;
        std::int64_t lastSinceStart;
    };
    // The first cycle: SinceLast equals SinceStart, LastSinceStart is 0.
    const Expected cycles[] = {{5000, 5000, 5000, 0}, {7000, 12000, 7000, 5000}, {100000, 112000, 100000, 12000}};
    for (const Expected& e : cycles) {
        rig.cycle(e.elapsed);
        const auto& values = rig.runtime().context.times.values;
        EXPECT_EQ(values[0], e.sinceStart);
        EXPECT_EQ(values[1], e.sinceLast);
        EXPECT_EQ(values[2], e.lastSinceStart);
        EXPECT_EQ(rig.runtime().now, rig.now());
    }
}

TEST(Cycle, CheckpointsComeInTheOrderOfItsPhases) {
    test::Rig rig;
    test::FakePort& b = rig.add(u"B", test::udpEnvironment({step("0")}));
    test::FakePort& a = rig.add(u"A", test::udpEnvironment({}));
    rig.start();
    b.incoming.push_back({1, 2, 3});
    a.incoming.push_back({1, 2, 3, 4, 5});
    rig.cycle();
    EXPECT_EQ(rig.checkpoints(), (std::vector<std::string>{
                                     "Prepared Times.",
                                     "Got TxDs.",
                                     "Received 3 bytes.",
                                     "Received 5 bytes.",
                                     "Collected All RxDs.",
                                     "Start Sequences.",
                                     "Start index is 0",
                                     "TxCondition has evaluated. = 0",
                                     "JumpCondition has evaluated. = 0",
                                     "Start index is 0",
                                 }));
}

TEST(Cycle, SerialPassesCheckpointEveryTurn) {
    test::Rig rig;
    rig.setFrames({{u"F", frame({"1"})}});
    test::FakePort& port = rig.add(u"S", test::serialEnvironment(-1, {step("R[0] == 2", "F")}));
    rig.start();
    port.incoming.push_back({1, 2});
    rig.cycle();
    EXPECT_EQ(rig.checkpoints(), (std::vector<std::string>{
                                     "Prepared Times.",
                                     "Got TxDs.",
                                     "Received 2 bytes.",
                                     "Collected All RxDs.",
                                     "Start Sequences.",
                                     "Charactor timeouted.",
                                     "TxCondition has evaluated. = 0",
                                     "Detected Rx Frame.",
                                     "JumpCondition has evaluated. = 0",
                                     "TxCondition has evaluated. = 1",
                                     "Detected Rx Frame.",
                                     "Ready to send.",
                                     "Sent.",
                                     "JumpCondition has evaluated. = 1",
                                 }));
}

TEST(Cycle, FramesHandedOverArePickedUpByTheNextCycle) {
    test::Rig rig;
    rig.setFrames({{u"F", frame({"1"})}});
    test::FakePort& port = rig.add(u"U", test::udpEnvironment({step("1", "F")}));
    rig.start();
    rig.cycle();
    rig.setFrames({{u"F", frame({"2", "3"})}});
    rig.cycle();
    rig.setFrames({});
    rig.cycle();
    EXPECT_EQ(port.written, (std::vector<Bytes>{{1}, {2, 3}}));
}

TEST(Transmit, AnEmptyFrameIsWrittenAndTimedButNotRecorded) {
    test::Rig rig;
    rig.setFrames({{u"Empty", frame({})}});
    test::FakePort& port = rig.add(u"U", test::udpEnvironment({step("1", "Empty")}));
    rig.start();
    rig.cycle();
    EXPECT_EQ(port.written, std::vector<Bytes>{Bytes{}});
    EXPECT_EQ(rig.environment(0).lastTransmitTime, rig.now());
    // The store ignores an empty frame; whatever reaches it has no bytes.
    for (const test::Pushed& pushed : rig.pushed) {
        EXPECT_TRUE(pushed.data.empty());
    }
    EXPECT_EQ(matching(rig.checkpoints(), "Sent.").size(), 1u);
}

TEST(Transmit, ASentFrameIsRecordedWithTheCycleTime) {
    test::Rig rig;
    rig.setFrames({{u"F", frame({"0x10", "CRC_CCITT1(T, 0, 1)", ""})}});
    test::FakePort& port = rig.add(u"U", test::udpEnvironment({step("1", "F")}));
    rig.start();
    rig.cycle();
    const Bytes expected{0x10, 0xF9, 0xE0};
    EXPECT_EQ(port.written, std::vector<Bytes>{expected});
    ASSERT_EQ(rig.pushed.size(), 1u);
    EXPECT_EQ(rig.pushed[0].data, expected);
    EXPECT_EQ(rig.pushed[0].time, rig.now());
    EXPECT_EQ(rig.pushed[0].attribute(), 0u);
    EXPECT_EQ(rig.stored(u"F"), expected);
}

TEST(Transmit, FramesBuiltStayReadableUnderTheirNameInLaterCycles) {
    test::Rig rig;
    rig.setFrames({{u"F", frame({"0x33"})}});
    // Sends F once (the first cycle), then reads it back by name.
    rig.add(u"U", test::udpEnvironment({step("1", "F", "Next"), step("0", "", "", "F[0]", "Next")}));
    rig.start();
    rig.cycle();
    rig.cycle();
    EXPECT_EQ(matching(rig.checkpoints(), "JumpCondition").back(), "JumpCondition has evaluated. = 51");
}

}  // namespace
}  // namespace orvalix
