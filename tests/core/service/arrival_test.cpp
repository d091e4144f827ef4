// Passes between the cycles of an on-arrival run, on a rig of fake ports: a port that has data
// is served at once, a stream frame ends at its character deadline, and nothing spins.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "service_test_support.hpp"

namespace orvalix {
namespace {

using test::Bytes;
using test::frame;
using test::serial;
using test::step;
using test::udp;

constexpr std::uint64_t kMs = 10'000;  // 100 ns units

// One moment of a run: a cycle, or a wake-up between cycles with the port ready or not.
struct Moment {
    enum class What { Cycle, Ready, Wake };
    What what;
    std::uint64_t after;  // since the moment before
    std::vector<Bytes> comes = {};
    // The earliest character deadline afterwards, from the run's start.
    std::optional<std::uint64_t> deadline = std::nullopt;
};

using What = Moment::What;

struct ArrivalCase {
    const char* rule;
    Environment environment;
    std::vector<Moment> moments;
    std::vector<Bytes> sent;
    std::vector<std::string> pushed;  // cycle number (passes between carry the last one), record
    const char* only = nullptr;       // checkpoints starting with this text
    std::vector<std::string> trace = {};
    std::size_t burst = 1;
};

void run(const ArrivalCase& c) {
    SCOPED_TRACE(c.rule);
    test::Rig rig;
    rig.setFrames({{u"Echo", frame({"R[0]", "R[1]", "R[2]"})}, {u"Times", frame({"SinceStart", "SinceLast"})}});
    test::FakePort& port = rig.add(u"B", c.environment);
    port.chunksPerCycle = c.burst;
    rig.start();
    for (const Moment& moment : c.moments) {
        port.incoming.insert(port.incoming.end(), moment.comes.begin(), moment.comes.end());
        if (moment.what == What::Cycle) {
            rig.cycle(moment.after);
        } else {
            const std::size_t first[] = {0};
            rig.between(moment.after, moment.what == What::Ready ? std::span<const std::size_t>(first)
                                                                  : std::span<const std::size_t>());
        }
        EXPECT_EQ(rig.deadline(), moment.deadline) << "at " << rig.elapsed();
    }
    EXPECT_EQ(port.written, c.sent);
    EXPECT_EQ(rig.pushed, c.pushed);
    EXPECT_EQ(c.only ? test::matching(rig.checkpoints(), c.only) : std::vector<std::string>{}, c.trace);
}

TEST(Arrival, APortWithDataIsServedAtOnceAndAStreamFrameEndsAtItsDeadline) {
    // clang-format off
    const ArrivalCase cases[] = {
        {"UDP: a datagram between cycles is answered in its own pass, its records stamped with the moment it came",
         udp({step("R[0] >= 0", "Echo")}),
         {{What::Cycle, 10 * kMs}, {What::Ready, 2 * kMs, {{1, 2, 3}}}},
         {{1, 2, 3}}, {"1 rx 01 02 03", "1 tx 01 02 03"}, "Arrival", {"Arrival pass 0."}},
        {"UDP: the pass reads every datagram that waits, each with its own turn",
         udp({step("R[0] >= 0", "Echo")}),
         {{What::Cycle, 10 * kMs}, {What::Ready, 2 * kMs, {{1}, {2}}}},
         {{1, 0xFF, 0xFF}, {2, 0xFF, 0xFF}}, {"1 rx 01", "1 tx 01 ff ff", "1 rx 02", "1 tx 02 ff ff"}, nullptr, {}, 64},
        {"SinceStart follows the pass; SinceLast stays the cycle's",
         udp({step("R[0] >= 0", "Times")}),
         {{What::Cycle, 10 * kMs}, {What::Ready, 3 * kMs, {{1}}}},
         {{13, 10}}, {"1 rx 01", "1 tx 0d 0a"}},
        {"serial: bytes between cycles wait for the silence; the frame ends at its deadline, not at the next cycle",
         serial(2, {step("0")}),
         {{What::Cycle, 10 * kMs}, {What::Ready, kMs, {{1, 2}}, 13 * kMs + 1},
          {What::Ready, kMs / 2, {{3}}, 13 * kMs + kMs / 2 + 1},
          {What::Wake, 2 * kMs, {}, 13 * kMs + kMs / 2 + 1},  // one tick short of the deadline
          {What::Wake, 1}},
         {}, {"1 rx 01 02 03"}, "Time-out", {"Time-out pass 0."}},
        {"serial: a cycle that comes first ends the frame as it always did, and the deadline goes with it",
         serial(5, {step("0")}),
         {{What::Cycle, 10 * kMs}, {What::Ready, kMs, {{7}}, 16 * kMs + 1}, {What::Cycle, 9 * kMs}},
         {}, {"2 rx 07"}},
        {"serial without steps: one time-out pass for the frame, then no deadline, so nothing spins",
         serial(2, {}),
         {{What::Cycle, 10 * kMs}, {What::Ready, kMs, {{1}}, 13 * kMs + 1}, {What::Wake, 2 * kMs + 1},
          {What::Wake, 1}},
         {}, {}, "Time-out", {"Time-out pass 0."}},
        {"serial, time-out 0: the frame ends in the first pass after its last byte",
         serial(0, {step("0")}),
         {{What::Cycle, 10 * kMs}, {What::Ready, kMs, {{1}}, 11 * kMs + 1}, {What::Wake, 1}},
         {}, {"1 rx 01"}},
        {"a frame port never has a deadline",
         udp({step("0")}),
         {{What::Cycle, 10 * kMs}, {What::Ready, kMs, {{1}}}},
         {}, {"1 rx 01"}},
    };
    // clang-format on
    for (const ArrivalCase& c : cases) {
        run(c);
    }
}

TEST(Arrival, AReadyPortThatGaveNothingIsNotWatchedAgainBeforeTheNextCycle) {
    struct Case {
        const char* rule;
        std::vector<Bytes> comes;
        bool mutedAfterPass;
    };
    const Case cases[] = {
        {"nothing to read: muted, so a source the system keeps reporting cannot spin the thread", {}, true},
        {"something read: watched on", {{1}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        test::Rig rig;
        test::FakePort& port = rig.add(u"B", udp({step("0")}));
        rig.start();
        rig.cycle();
        port.incoming.assign(c.comes.begin(), c.comes.end());
        const std::size_t first[] = {0};
        rig.between(kMs, first);
        EXPECT_EQ(rig.environment(0).arrivalMuted, c.mutedAfterPass);
        rig.cycle();
        EXPECT_FALSE(rig.environment(0).arrivalMuted) << "the next cycle watches every port again";
    }
}

TEST(Arrival, EachReadyEnvironmentGetsItsPassUnderItsPlace) {
    test::Rig rig;
    test::FakePort& first = rig.add(u"B", udp({step("0")}));
    test::FakePort& second = rig.add(u"A", udp({step("0")}));
    rig.start();
    rig.cycle();
    first.incoming.push_back({1});
    second.incoming.push_back({2});
    const std::size_t secondOnly[] = {1};
    rig.between(kMs, secondOnly);
    EXPECT_EQ(rig.pushed, (std::vector<std::string>{"1 rx 02"}));
    EXPECT_EQ(test::matching(rig.checkpoints(), "Arrival"), (std::vector<std::string>{"Arrival pass 1."}));
    EXPECT_EQ(first.incoming.size(), 1u) << "a port not ready is not read";
}

}  // namespace
}  // namespace orvalix
