// The fault file's rules on a rig of fake ports: what each action does to the frames that go
// out (or come in), when a rule applies, and that a seed repeats a run's draws.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/project/fault_rule.hpp"
#include "core/text/text_conversion.hpp"
#include "service_test_support.hpp"

namespace orvalix {
namespace {

using test::Bytes;
using test::frame;
using test::serial;
using test::step;
using test::udp;

// A fault file row as written: name, when, action, parameter, probability, limit.
FaultRule rule(const std::vector<std::string>& cells) {
    std::vector<std::u16string> row;
    for (const std::string& cell : cells) {
        row.push_back(toWide(cell));
    }
    FaultRowParse parse = parseFaultRow(row);
    EXPECT_TRUE(parse.rule) << parse.error.message;
    return parse.rule.value_or(FaultRule{});
}

// Answers each frame with Echo (R[0], R[1], R[2]: missing bytes read 0xff).
Environment echoing(Environment environment, std::vector<FaultRule> faults) {
    environment.faults = std::move(faults);
    return environment;
}

struct FaultCase {
    const char* rule;
    Environment environment;
    std::vector<Bytes> in;
    int cycles = 1;
    std::vector<Bytes> sent;
    std::vector<std::string> pushed;  // cycle, then 40nn0000 (c0nn0000 received) for rule nn
    std::size_t burst = 1;
};

void run(const FaultCase& c, std::uint64_t seed = kDefaultFaultSeed) {
    SCOPED_TRACE(c.rule);
    test::Rig rig;
    rig.setFrames({{u"Echo", frame({"R[0]", "R[1]", "R[2]"})}});
    test::FakePort& port = rig.add(u"B", c.environment);
    port.incoming.assign(c.in.begin(), c.in.end());
    port.chunksPerCycle = c.burst;
    rig.start();
    rig.seedFaults(seed);
    for (int i = 0; i < c.cycles; ++i) {
        rig.cycle();
    }
    EXPECT_EQ(port.written, c.sent);
    EXPECT_EQ(rig.pushed, c.pushed);
}

TEST(Faults, EachActionDoesToTheFrameWhatItsRuleSays) {
    const auto answer = [](std::vector<FaultRule> faults) {
        return echoing(udp({step("R[0] >= 0", "Echo")}), std::move(faults));
    };
    const auto serialAnswer = [](std::vector<FaultRule> faults) {
        return echoing(serial(-1, {step("R[0] == 5", "Echo")}), std::move(faults));
    };
    // clang-format off
    const FaultCase cases[] = {
        {"no rule that applies: the frame goes as built",
         answer({rule({"never", "T[0] == 9", "drop"})}), {{1}}, 1, {{1, 0xFF, 0xFF}}, {"1 rx 01", "1 tx 01 ff ff"}},
        {"drop: recorded with its fault, never written",
         answer({rule({"lost", "", "drop"})}), {{1}}, 1, {}, {"1 rx 01", "1 40010000 01 ff ff"}},
        {"corrupt: the byte at the offset XORed with the mask after the frame is built",
         answer({rule({"bad", "", "corrupt", "1:0x0F"})}), {{1}}, 1, {{1, 0xF0, 0xFF}},
         {"1 rx 01", "1 40010000 01 f0 ff"}},
        {"corrupt: an offset past the frame's end does not apply",
         answer({rule({"bad", "", "corrupt", "3:1"})}), {{1}}, 1, {{1, 0xFF, 0xFF}}, {"1 rx 01", "1 tx 01 ff ff"}},
        {"truncate: the first bytes only",
         answer({rule({"cut", "", "truncate", "1"})}), {{1}}, 1, {{1}}, {"1 rx 01", "1 40010000 01"}},
        {"duplicate: a frame port writes it twice at once",
         answer({rule({"twice", "", "duplicate"})}), {{1}}, 1, {{1, 0xFF, 0xFF}, {1, 0xFF, 0xFF}},
         {"1 rx 01", "1 40010000 01 ff ff", "1 40010000 01 ff ff"}},
        {"delay: written and recorded when due, 20 ms later",
         answer({rule({"slow", "", "delay", "20"})}), {{1}}, 3, {{1, 0xFF, 0xFF}}, {"1 rx 01", "3 40010000 01 ff ff"}},
        {"delay: not before it is due",
         answer({rule({"slow", "", "delay", "20"})}), {{1}}, 2, {}, {"1 rx 01"}},
        {"limit: applies that many times, then the frames go as built",
         answer({rule({"once", "", "drop", "", "", "1"})}), {{1}, {2}}, 2, {{2, 0xFF, 0xFF}},
         {"1 rx 01", "1 40010000 01 ff ff", "2 rx 02", "2 tx 02 ff ff"}},
        {"probability 0: never applies",
         answer({rule({"never", "", "drop", "", "0"})}), {{1}}, 1, {{1, 0xFF, 0xFF}}, {"1 rx 01", "1 tx 01 ff ff"}},
        {"when: over T, the frame about to be sent",
         answer({rule({"two", "T[0] == 2", "truncate", "0"})}), {{1}, {2}}, 2, {{1, 0xFF, 0xFF}, {}},
         {"1 rx 01", "1 tx 01 ff ff", "2 rx 02", "2 40010000"}},
        {"the first rule that applies is the one: its number in the attribute, the rest not tried",
         answer({rule({"never", "T[0] == 9", "drop"}), rule({"bad", "", "corrupt", "0:1"}), rule({"lost", "", "drop"})}),
         {{4}}, 1, {{5, 0xFF, 0xFF}}, {"1 rx 04", "1 40020000 05 ff ff"}},
        {"ignore: recorded as received, but neither named conditions nor steps see it",
         answer({rule({"deaf", "R[0] == 1", "ignore"})}), {{1}, {2}}, 2, {{2, 0xFF, 0xFF}},
         {"1 c0010000 01", "2 rx 02", "2 tx 02 ff ff"}},
        {"ignore: each of several datagrams in a cycle is judged on its own",
         answer({rule({"deaf", "R[0] == 1", "ignore"})}), {{1}, {2}}, 1, {{2, 0xFF, 0xFF}},
         {"1 c0010000 01", "1 rx 02", "1 tx 02 ff ff"}, 64},
        {"split: on a frame port it does not apply",
         answer({rule({"halves", "", "split", "1:10"})}), {{1}}, 1, {{1, 0xFF, 0xFF}}, {"1 rx 01", "1 tx 01 ff ff"}},
        {"split: a stream port writes the first bytes now and the rest after the gap",
         serialAnswer({rule({"halves", "", "split", "1:10"})}), {{5}}, 2, {{5}, {0xFF, 0xFF}},
         {"1 rx 05", "1 40010000 05", "2 40010000 ff ff"}},
        {"duplicate: a stream port sends the copy once the first write is out",
         serialAnswer({rule({"twice", "", "duplicate"})}), {{5}}, 2, {{5, 0xFF, 0xFF}, {5, 0xFF, 0xFF}},
         {"1 rx 05", "1 40010000 05 ff ff", "2 40010000 05 ff ff"}},
        {"drop on a stream port: the write it did not make leaves the port free for the next frame",
         serialAnswer({rule({"lost", "", "drop", "", "", "1"})}), {{5}, {5}}, 2, {{5, 0xFF, 0xFF}},
         {"1 rx 05", "1 40010000 05 ff ff", "2 rx 05", "2 tx 05 ff ff"}},
        {"delay on a stream port: written when due, before the cycle's own frames, and the port stays free",
         serialAnswer({rule({"slow", "", "delay", "10", "", "1"})}), {{5}, {5}}, 2, {{5, 0xFF, 0xFF}, {5, 0xFF, 0xFF}},
         {"1 rx 05", "2 40010000 05 ff ff", "2 rx 05", "2 tx 05 ff ff"}},
        {"ignore on a stream port: the bytes of one read are recorded apart, and no byte of them reaches a step",
         serialAnswer({rule({"deaf", "R[0] == 1", "ignore"})}), {{1, 5}, {5}}, 2, {{5, 0xFF, 0xFF}},
         {"1 c0010000 01 05", "2 rx 05", "2 tx 05 ff ff"}},
    };
    // clang-format on
    for (const FaultCase& c : cases) {
        run(c);
    }
}

// Half the frames, drawn: a seed repeats its run's draws exactly, another seed draws others.
TEST(Faults, TheSameSeedDrawsTheSameFaults) {
    const auto drawn = [](std::uint64_t seed) {
        test::Rig rig;
        rig.setFrames({{u"Echo", frame({"R[0]", "R[1]", "R[2]"})}});
        test::FakePort& port =
            rig.add(u"B", echoing(udp({step("R[0] >= 0", "Echo")}), {rule({"coin", "", "drop", "", "50"})}));
        for (std::uint8_t i = 0; i < 40; ++i) {
            port.incoming.push_back({i});
        }
        rig.start();
        rig.seedFaults(seed);
        for (int i = 0; i < 40; ++i) {
            rig.cycle();
        }
        return port.written;
    };
    const std::vector<Bytes> first = drawn(7);
    EXPECT_EQ(drawn(7), first);
    EXPECT_GT(first.size(), 10U);
    EXPECT_LT(first.size(), 30U);
    EXPECT_NE(drawn(8), first) << "two seeds that draw alike 40 times";
}

// The queue holds 16 frames; a frame held back that finds it full is dropped and counted.
TEST(Faults, AFullQueueDropsTheFrameAndCountsIt) {
    test::Rig rig;
    rig.setFrames({{u"Echo", frame({"R[0]", "R[1]", "R[2]"})}});
    test::FakePort& port =
        rig.add(u"B", echoing(udp({step("R[0] >= 0", "Echo")}), {rule({"slow", "", "delay", "1000"})}));
    port.incoming.assign(DelayedFrames::kSlots + 1, Bytes{1});
    port.chunksPerCycle = 64;
    rig.start();
    rig.cycle();
    EXPECT_EQ(rig.published[u"B"].delayedDropped, 1U);
    EXPECT_EQ(rig.published[u"B"].faults, std::vector<std::uint64_t>{DelayedFrames::kSlots + 1});
    rig.cycle(1000 * 10'000);
    EXPECT_EQ(port.written.size(), DelayedFrames::kSlots);
}

}  // namespace
}  // namespace orvalix
