// The cycle's rules on a rig of fake ports: receive, named frames, sequence, transmit, edge bits.

#include "core/service/cycle.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "core/service/edge_bits.hpp"
#include "core/service/receive.hpp"
#include "core/service/sequence.hpp"
#include "service_test_support.hpp"

namespace orvalix {
namespace {

using test::Bytes;
using test::frame;
using test::kBroken;
using test::named;
using test::serial;
using test::step;
using test::udp;

// One run of the rig: environments visited in this order (named B, then A), the chunks every
// port delivers (one per cycle), and what must come of it; every record pushed is checked.
// Frames: F is 46, G is 47, Echo repeats R[0..2], Ack is 06 R[4], Empty has no rows, Crc is 10
// and a CRC over it. The tables are aligned by hand.
struct Case {
    const char* rule;
    std::vector<Environment> envs;
    std::vector<Bytes> in{};
    int cycles = 1;
    std::vector<Bytes> sent{};  // written by the first port
    std::vector<std::string> pushed{};
    const char* only = nullptr;  // the checkpoints starting with this, over all cycles
    std::vector<std::string> trace{};
    std::int32_t stepIndex = -1;  // of the first environment at the end; -1: not checked
    std::uint32_t status = 0;     // of the first port's reads
    bool inFlight = false;        // the first port keeps each write in flight, like a serial port
    std::optional<PortKind> kind{};  // of the first port, when not the kind its settings name
    std::function<void(int cycle, test::Rig&, test::FakePort&)> before = [](int, test::Rig&, test::FakePort&) {};
    const char* coverage = nullptr;  // the first environment's, as describeCoverage puts it
    std::size_t burst = 1;           // chunks each port has for a cycle; the rest come later
};

template <class T>
std::vector<T> repeated(const T& value, std::size_t count) {
    return std::vector<T>(count, value);
}

std::vector<std::string> joined(std::vector<std::string> first, const std::vector<std::string>& then) {
    first.insert(first.end(), then.begin(), then.end());
    return first;
}

// "rx 1 tx 1 | steps 1/1/1 | named 1/1/1": frames received and sent, then per step how often it
// held, sent and jumped, then per named condition frames recognised, mark and trigger rises.
std::string describeCoverage(const EnvironmentCoverage& coverage) {
    std::string text = "rx " + std::to_string(coverage.received) + " tx " + std::to_string(coverage.sent) + " | steps";
    for (const StepCoverage& step : coverage.steps) {
        text += ' ' + std::to_string(step.held) + '/' + std::to_string(step.sent) + '/' + std::to_string(step.jumped);
    }
    text += " | named";
    for (const ConditionCoverage& named : coverage.conditions) {
        text += ' ' + std::to_string(named.recognised) + '/' + std::to_string(named.markRises) + '/' +
                std::to_string(named.triggerRises);
    }
    return text;
}

void run(const Case& c) {
    SCOPED_TRACE(c.rule);
    test::Rig rig;
    rig.setFrames({{u"F", frame({"0x46"})}, {u"G", frame({"0x47"})}, {u"Echo", frame({"R[0]", "R[1]", "R[2]"})},
                   {u"Ack", frame({"0x06", "R[4]"})}, {u"Empty", frame({})},
                   {u"Crc", frame({"0x10", "CRC_CCITT1(T, 0, 1)", ""})}});
    std::vector<test::FakePort*> ports;
    for (const Environment& environment : c.envs) {
        ports.push_back(&rig.add(ports.empty() ? u"B" : u"A", environment, ports.empty() ? c.kind : std::nullopt));
        ports.back()->incoming.assign(c.in.begin(), c.in.end());
        ports.back()->chunksPerCycle = c.burst;
    }
    ports[0]->status = c.status;
    ports[0]->writesCompleteAtOnce = !c.inFlight;
    rig.start();
    for (int i = 1; i <= c.cycles + 1; ++i) {
        c.before(i, rig, *ports[0]);  // before each cycle, and after the last
        if (i <= c.cycles) {
            rig.cycle();
        }
    }
    EXPECT_EQ(ports[0]->written, c.sent);
    EXPECT_EQ(rig.pushed, c.pushed);
    EXPECT_EQ(c.stepIndex < 0 ? -1 : rig.environment(0).stepIndex, c.stepIndex);
    EXPECT_EQ(c.only ? test::matching(rig.checkpoints(), c.only) : std::vector<std::string>{}, c.trace);
    if (c.coverage != nullptr) {
        EXPECT_EQ(describeCoverage(rig.published[u"B"]), c.coverage);
    }
}

const std::string kTx = "TxCondition has evaluated. = ";
const std::string kJump = "JumpCondition has evaluated. = ";

TEST(Receive, FramesAreCollectedReportedAndRecognisedByTheRules) {
    std::vector<NamedCondition> tenConditions(9, named("C", "0"));
    tenConditions.push_back(named("Last", "1"));
    // clang-format off
    const Case cases[] = {
        {.rule = "serial, time-out 0: reported once, in the first cycle without new bytes",
         .envs = {serial(0, {step("0")})}, .in = {{1, 2}, {3}}, .cycles = 4, .pushed = {"3 rx 01 02 03"}},
        {.rule = "serial without steps: never reported; the frame stops at its largest size",
         .envs = {serial(-1, {})}, .in = {Bytes(16000, 0x11), Bytes(1000, 0x22)}, .cycles = 3,
         .before = [](int cycle, test::Rig& rig, test::FakePort&) {
             const ByteBuffer& b = rig.environment(0).receiveBuffer;
             EXPECT_TRUE(cycle < 4 || (b.length == kMaxFrameLength && b.data[15999] == 0x11 && b.data[16383] == 0x22));
         }},
        {.rule = "serial, time-out 20 ms: reported once the silence is longer",
         .envs = {serial(20, {step("0")})}, .in = {{1}}, .cycles = 4, .pushed = {"4 rx 01"}},
        {.rule = "serial, negative time-out: each byte is a frame, with the status of its cycle",
         .envs = {serial(-1, {step("0")})}, .in = {{7, 8}}, .pushed = {"1 80000008 07", "1 80000008 08"}, .status = 8},
        {.rule = "serial: named conditions see the frame grow byte by byte",
         .envs = {serial(1000, {step("0", "", "", "Req[1] * 1000 + Req[2]")}, {named("Req", "R[1] >= 0")})},
         .in = {{1, 2, 3}}, .only = "Jump", .trace = {kJump + "-1001", kJump + "1999", kJump + "2003"}},
        {.rule = "UDP: a datagram is reported in its cycle whatever the conditions; R holds exactly it",
         .envs = {udp({step("R[0] >= 0", "Echo")}, {named("Never", "0")})}, .in = {{}, {1, 2, 3}, {4}}, .cycles = 3,
         .sent = {{1, 2, 3}, {4, 0xFF, 0xFF}},
         .pushed = {"2 80000005 01 02 03", "2 tx 01 02 03", "3 80000005 04", "3 tx 04 ff ff"}, .only = "Detected",
         .status = 5},
        {.rule = "named conditions hold also when nothing came: an empty entry; absent names read -1",
         .envs = {udp({step("0", "", "", "BCC(Empty, 0, 0) * 10 + BCC(Never, 0, 0)")},
                      {named("Empty", "1"), named("Never", "0")})},
         .only = "Jump", .trace = {kJump + "-1"}},
        {.rule = "a named condition that stops holding keeps its earlier frame",
         .envs = {udp({step("0", "", "", "First[1]")}, {named("First", "R[0] == 1")})}, .in = {{1, 5}, {2, 6}, {1, 7}},
         .cycles = 3, .pushed = {"1 rx 01 05 m0 t0", "2 rx 02 06", "3 rx 01 07 m0 t0"}, .only = "Jump",
         .trace = {kJump + "5", kJump + "5", kJump + "7"}},
        {.rule = "named frames are shared by all environments from the next pass on",
         .envs = {udp({}, {named("FromB", "1")}), udp({step("0", "", "", "FromB[0]")})}, .in = {{42}},
         .pushed = {"1 rx 2a m0 t0", "1 rx 2a"}, .only = "Jump", .trace = {kJump + "42"}},
        {.rule = "activity times count from the last reported and the last sent frame",
         .envs = {udp({step("R[0] == 1", "F", "", "SinceLastRx * 1000 + SinceLastTx")})}, .in = {{}, {1}},
         .cycles = 4, .sent = {{0x46}}, .pushed = {"2 rx 01", "2 tx 46"}, .only = "Jump",
         .trace = {kJump + "10010", kJump + "20020", kJump + "10010", kJump + "20020"}},
        {.rule = "a mark text replaces the condition, a trigger text has its own value; bits mark a rise; "
                 "a text that does not compile is -1",
         .envs = {udp({}, {named("C", "0", "R[0] & 1", "R[0] == 3"), named("D", "0", kBroken)})},
         .in = {{0}, {1}, {2}, {3}}, .cycles = 4,
         .pushed = {"1 rx 00 m1 t1", "2 rx 01 m0", "3 rx 02", "4 rx 03 m0 t0"}},
        {.rule = "each condition owns its bits, also beyond the first byte", .envs = {udp({}, tenConditions)},
         .in = {{1}}, .pushed = {"1 rx 01 m9 t9"}},
        {.rule = "received and sent records share the previous values; a sent one sees the frame just built as T",
         .envs = {udp({step("R[0] >= 0", "F")}, {named("Any", "1"), named("Sent", "0", "T[0] == 0x46")})},
         .in = {{1}}, .sent = {{0x46}}, .pushed = {"1 rx 01 m0 t0", "1 tx 46 m1 t1"}},
        {.rule = "UDP: every datagram waiting gets its own pass in the same cycle, in arrival order",
         .envs = {udp({step("R[0] >= 0", "Echo")})}, .in = {{1}, {2}, {3}}, .sent = {{1, 0xFF, 0xFF}, {2, 0xFF, 0xFF},
         {3, 0xFF, 0xFF}}, .pushed = {"1 rx 01", "1 tx 01 ff ff", "1 rx 02", "1 tx 02 ff ff", "1 rx 03", "1 tx 03 ff ff"},
         .burst = 64},
        {.rule = "UDP: each pass starts at the step where the one before stopped",
         .envs = {udp({step("1", "F", "b", "1", "a"), step("1", "G", "a", "1", "b")})}, .in = {{1}, {2}},
         .sent = {{0x46}, {0x47}}, .pushed = {"1 rx 01", "1 tx 46", "1 rx 02", "1 tx 47"}, .burst = 64},
        {.rule = "UDP: at most 64 datagrams a cycle; the rest wait for the next",
         .envs = {udp({step("0")})}, .in = repeated(Bytes{7}, 65), .cycles = 2,
         .pushed = joined(repeated(std::string("1 rx 07"), 64), {"2 rx 07"}), .burst = 100},
        {.rule = "serial: one read a cycle whatever waits",
         .envs = {serial(-1, {step("0")})}, .in = {{1}, {2}}, .pushed = {"1 rx 01"}, .burst = 64},
    };
    // clang-format on
    std::ranges::for_each(cases, run);
}

// A TCP port brings a byte stream as a serial line does, so each rule of a serial port's
// framing, checkpoints included, holds for it word for word. Each case runs on a serial port
// too: these are the serial rules as well.
TEST(Receive, TcpBytesAreFramedAsSerialBytesAre) {
    // clang-format off
    const Case cases[] = {
        {.rule = "a frame ends once the silence is longer than the character time-out",
         .envs = {test::tcp(20, {step("0")})}, .in = {{1, 2}, {}, {3}}, .cycles = 7, .pushed = {"6 rx 01 02 03"}},
        {.rule = "a transmit condition that holds ends the frame at its byte, which is answered in that turn",
         .envs = {test::tcp(1000, {step("R[2] == 3", "Echo")})}, .in = {{1, 2, 3, 4}}, .cycles = 2,
         .sent = {{1, 2, 3}}, .pushed = {"1 rx 01 02 03", "1 tx 01 02 03"}},
        {.rule = "each turn checkpoints as a serial port's does", .envs = {test::tcp(-1, {step("R[0] == 2", "F")})},
         .in = {{1, 2}}, .sent = {{0x46}}, .pushed = {"1 rx 01", "1 rx 02", "1 tx 46"}, .only = "",
         .trace = {"Prepared Times.", "Got TxDs.", "Received 2 bytes.", "Collected All RxDs.", "Start Sequences.",
                   "Charactor timeouted.", kTx + "0", "Detected Rx Frame.", kJump + "0", kTx + "1",
                   "Detected Rx Frame.", "Ready to send.", "Sent.", kJump + "1"}},
    };
    // clang-format on
    for (Case c : cases) {
        for (const PortKind kind : {PortKind::Serial, PortKind::Tcp}) {
            SCOPED_TRACE(kind == PortKind::Tcp ? "TCP" : "serial");
            c.kind = kind;
            run(c);
        }
    }
}

TEST(Sequence, StepsTransmitAndJumpByTheRules) {
    const SequenceStep labelB = step("0", "", "", "", "B");
    // clang-format off
    const Case cases[] = {
        {.rule = "steps whose jump is 0 fall through; later turns run the last step only",
         .envs = {udp({step("0"), step("0"), step("0")})}, .cycles = 2, .only = "Tx",
         .trace = std::vector<std::string>(4, kTx + "0"), .stepIndex = 3},
        {.rule = "a taken jump transmits, ends the turn and moves to the label",
         .envs = {udp({step("1", "F", "B"), step("1", "G", "", "", "A"), labelB})}, .cycles = 2, .sent = {{0x46}},
         .pushed = {"1 tx 46"}, .only = "Start index", .trace = {"Start index is 0", "Start index is 2"}},
        {.rule = "without a jump text the transmit value jumps; an unknown target stays",
         .envs = {udp({step("1", "F", "Nowhere"), step("0")})}, .sent = {{0x46}}, .pushed = {"1 tx 46"},
         .stepIndex = 0},
        {.rule = "a jump goes to the last step carrying the label, which compares exactly",
         .envs = {udp({step("1", "", "B"), labelB, labelB, step("0", "", "", "", "b")})}, .stepIndex = 2},
        {.rule = "a jump text is evaluated instead of the transmit value; a missing frame sends nothing, still jumps",
         .envs = {udp({step("0", "F", "B", "1"), step("1", "Missing", "C", "", "B"), step("0", "", "", "", "C")})},
         .cycles = 2, .stepIndex = 2},
        {.rule = "texts that do not compile are -1: the step transmits and jumps",
         .envs = {udp({step(kBroken, "F", "B", kBroken), labelB})}, .sent = {{0x46}}, .pushed = {"1 tx 46"},
         .stepIndex = 1},
        {.rule = "serial: a request completes in the turn of its last byte and is answered there",
         .envs = {serial(1000, {step("R[4] >= 0", "Ack")})}, .in = {{1, 2, 3, 4, 5}}, .cycles = 2,
         .sent = {{0x06, 5}}, .pushed = {"1 rx 01 02 03 04 05", "1 tx 06 05"}, .only = "Tx",
         .trace = {kTx + "0", kTx + "0", kTx + "0", kTx + "0", kTx + "1", kTx + "0"}},
        {.rule = "serial: a second step sending in the same turn finds the first write in flight; it ends later",
         .envs = {serial(1000, {step("1", "F", "", "0"), step("1", "G", "", "0")})}, .cycles = 3,
         .sent = {{0x46}, {0x47}}, .pushed = {"1 tx 46", "3 tx 47"}, .inFlight = true,
         .before = [](int cycle, test::Rig&, test::FakePort& port) { cycle == 3 ? port.complete() : void(); }},
        {.rule = "UDP: writes complete at once, so both steps send; a jump text of 0 falls through",
         .envs = {udp({step("1", "F", "", "0"), step("1", "G", "", "0")})}, .sent = {{0x46}, {0x47}},
         .pushed = {"1 tx 46", "1 tx 47"}},
    };
    // clang-format on
    std::ranges::for_each(cases, run);
}

TEST(Cycle, PhasesCheckpointAndTransmitByTheRules) {
    // clang-format off
    const Case cases[] = {
        {.rule = "the checkpoints follow the phases, environments in their order",
         .envs = {udp({step("0")}), udp({})}, .in = {{1, 2, 3}}, .pushed = {"1 rx 01 02 03", "1 rx 01 02 03"},
         .only = "", .trace = {"Prepared Times.", "Got TxDs.", "Received 3 bytes.", "Received 3 bytes.",
                               "Collected All RxDs.", "Start Sequences.", "Start index is 0", kTx + "0",
                               kJump + "0", "Start index is 0"}},
        {.rule = "the times: in the first cycle SinceLast is SinceStart and LastSinceStart 0",
         .envs = {udp({step("0", "", "", "SinceStart * 1000 + SinceLast * 1000 + LastSinceStart")})},  // left to right
         .cycles = 2, .only = "Jump", .trace = {kJump + "10010000", kJump + "20010010"}},
        {.rule = "frames handed over are used from the next cycle", .envs = {udp({step("1", "F")})}, .cycles = 3,
         .sent = {{0x46}, {2, 3}}, .pushed = {"1 tx 46", "2 tx 02 03"},
         .before = [](int cycle, test::Rig& rig, test::FakePort&) {
             cycle > 1 ? rig.setFrames(cycle == 2 ? FrameMap{{u"F", frame({"2", "3"})}} : FrameMap{}) : void();
         }},
        {.rule = "an empty frame is written and timed", .envs = {udp({step("1", "Empty", "", "SinceLastTx")})},
         .cycles = 2, .sent = {{}, {}}, .pushed = {"1 tx", "2 tx"}, .only = "Jump",
         .trace = {kJump + "10", kJump + "10"}},
        {.rule = "a frame sent stays readable under its name in later cycles",
         .envs = {udp({step("1", "Crc", "Next"), step("0", "", "", "Crc[2]", "Next")})}, .cycles = 2,
         .sent = {{0x10, 0xF9, 0xE0}}, .pushed = {"1 tx 10 f9 e0"}, .only = "Jump",
         .trace = {kJump + "1", kJump + "224"}},
        {.rule = "replies go to the last sender, and to no address before anyone sent",
         .envs = {udp({step("1", "F")})}, .in = {{}, {1}}, .cycles = 3, .sent = {{0x46}, {0x46}, {0x46}},
         .pushed = {"1 tx 46", "2 rx 01", "2 tx 46", "3 tx 46"},
         .before = [](int cycle, test::Rig&, test::FakePort& port) {
             port.sender.bytes[2] = cycle >= 2 ? std::uint8_t{0x13} : std::uint8_t{0};
             EXPECT_TRUE(cycle < 4 || (port.destinations == std::vector<SocketAddress>{{}, port.sender, port.sender}));
         }},
    };
    // clang-format on
    std::ranges::for_each(cases, run);
}

TEST(Coverage, StepsAndNamedConditionsCountWhatFired) {
    // clang-format off
    const Case cases[] = {
        {.rule = "a step counts the turns it held, the frames it sent and the jumps it took",
         .envs = {udp({step("R[0] == 1", "F", "A", "", "A")})}, .in = {{1}, {2}, {1}}, .cycles = 3,
         .sent = {{0x46}, {0x46}}, .pushed = {"1 rx 01", "1 tx 46", "2 rx 02", "3 rx 01", "3 tx 46"},
         .coverage = "rx 3 tx 2 | steps 2/2/2 | named"},
        {.rule = "each cycle publishes the steps its turns touched; counts published before stay",
         .envs = {udp({step("1", "F", "C"), step("0"), step("1", "G", "C", "", "C")})}, .cycles = 2,
         .sent = {{0x46}, {0x47}}, .pushed = {"1 tx 46", "2 tx 47"}, .coverage = "rx 0 tx 2 | steps 1/1/1 0/0/0 1/1/1 | named"},
        {.rule = "a step whose frame is missing holds and jumps but sends nothing",
         .envs = {udp({step("1", "Missing")})}, .cycles = 2, .coverage = "rx 0 tx 0 | steps 2/0/2 | named"},
        {.rule = "a jump text counts apart from the transmit value; a step never reached counts nothing",
         .envs = {udp({step("0", "F", "", "1"), step("1", "F")})}, .cycles = 2,
         .coverage = "rx 0 tx 0 | steps 0/0/2 0/0/0 | named"},
        {.rule = "a named condition counts the received frames it held for; its rises count on sent records too",
         .envs = {udp({step("R[0] >= 0", "F")}, {named("One", "R[0] == 1"), named("Sent", "0", "T[0] == 0x46")})},
         .in = {{1}, {1}, {2}}, .cycles = 3, .sent = {{0x46}, {0x46}, {0x46}},
         .pushed = {"1 rx 01 m0 t0", "1 tx 46 m1 t1", "2 rx 01", "2 tx 46", "3 rx 02", "3 tx 46"},
         .coverage = "rx 3 tx 3 | steps 3/3/3 | named 2/1/1 0/1/1"},
        {.rule = "serial: a condition that holds from the first byte recognises the frame once, not per byte",
         .envs = {serial(1000, {step("R[2] >= 0", "F")}, {named("Any", "1", "", "0")})}, .in = {{1, 2, 3}},
         .sent = {{0x46}}, .pushed = {"1 rx 01 02 03 m0", "1 tx 46"}, .coverage = "rx 1 tx 1 | steps 1/1/1 | named 1/1/0"},
    };
    // clang-format on
    std::ranges::for_each(cases, run);
}

// Environment B sends F and A sends G in every cycle in which their pass runs; B's port tells
// told[k] from cycle k + 1 on.
TEST(PortHealth, ChangesAreReportedOnceAndALostPortSitsOutTheRestOfTheRun) {
    struct HealthCase {
        const char* rule;
        std::vector<PortHealth> told;
        std::vector<std::string> reports;
        std::size_t reads;  // of B's port over four cycles
        std::vector<std::string> pushed;
    };
    const std::vector<std::string> allSent = {"1 tx 46", "1 tx 47", "2 tx 46", "2 tx 47",
                                              "3 tx 46", "3 tx 47", "4 tx 46", "4 tx 47"};
    // clang-format off
    const HealthCase cases[] = {
        {"a port with nothing to tell is reported never", {{}, {}, {}, {}}, {}, 4, allSent},
        {"a lost port is reported once, then neither read nor written; the other environment goes on",
         {{}, {5, 0}, {5, 0}, {5, 0}}, {"2 B lost 5 dropped 0"}, 2, {"1 tx 46", "1 tx 47", "2 tx 47", "3 tx 47", "4 tx 47"}},
        {"the drop count is reported when it changes, not in every cycle",
         {{0, 3}, {0, 3}, {0, 7}, {0, 7}}, {"1 B lost 0 dropped 3", "3 B lost 0 dropped 7"}, 4, allSent},
        {"a port lost after drops keeps its count in the report",
         {{0, 3}, {0, 3}, {6, 3}, {6, 3}}, {"1 B lost 0 dropped 3", "3 B lost 6 dropped 3"}, 3,
         {"1 tx 46", "1 tx 47", "2 tx 46", "2 tx 47", "3 tx 47", "4 tx 47"}},
    };
    // clang-format on
    for (const HealthCase& c : cases) {
        SCOPED_TRACE(c.rule);
        test::Rig rig;
        rig.setFrames({{u"F", frame({"0x46"})}, {u"G", frame({"0x47"})}});
        test::FakePort& b = rig.add(u"B", udp({step("1", "F")}));
        test::FakePort& a = rig.add(u"A", udp({step("1", "G")}));
        rig.start();
        for (const PortHealth& told : c.told) {
            b.told = told;
            rig.cycle();
        }
        EXPECT_EQ(rig.reports, c.reports);
        EXPECT_EQ(b.readCount, c.reads);
        EXPECT_EQ(a.readCount, c.told.size());
        EXPECT_EQ(rig.pushed, c.pushed);
    }
}

// The far end each record carries: the sender of what came, where a frame went, the TCP
// connection's peer; none for a serial line. Each port delivers {1, 2, 3} from 10.0.0.7:4001.
TEST(Receive, UdpAndTcpRecordsCarryTheirPeer) {
    const auto address = [](std::uint16_t port) {
        SocketAddress a;
        a.bytes = {2, 0, static_cast<std::uint8_t>(port >> 8), static_cast<std::uint8_t>(port), 10, 0, 0, 7};
        return a;
    };
    const UdpEndpoint sender{0x0A000007, 4001}, connected{0x0A000007, 4002};
    struct PeerCase {
        const char* rule;
        Environment env;
        bool tcpConnected;
        std::vector<std::string> pushed;
        std::vector<UdpEndpoint> peers;
    };
    const PeerCase cases[] = {
        {"UDP: a datagram from its sender, the answer back to it", udp({step("R[0] == 1", "Echo")}), false,
         {"1 rx 01 02 03", "1 tx 01 02 03"}, {sender, sender}},
        {"TCP: bytes from whom the read names, frames to the connection being served", test::tcp(-1, {step("1", "F")}),
         true, {"1 rx 01", "1 tx 46", "1 rx 02", "1 tx 46", "1 rx 03", "1 tx 46"},
         {sender, connected, sender, connected, sender, connected}},
        {"serial: no peer", serial(-1, {step("R[0] == 1", "F")}), false,
         {"1 rx 01", "1 tx 46", "1 rx 02", "1 rx 03"}, {{}, {}, {}, {}}},
    };
    for (const PeerCase& c : cases) {
        SCOPED_TRACE(c.rule);
        test::Rig rig;
        rig.setFrames({{u"F", frame({"0x46"})}, {u"Echo", frame({"R[0]", "R[1]", "R[2]"})}});
        test::FakePort& port = rig.add(u"B", c.env);
        port.incoming.push_back({1, 2, 3});
        port.sender = address(4001);
        if (c.tcpConnected) {
            port.told.connections.opened = 1;
            port.told.connections.peer(1) = address(4002);
        }
        rig.start();
        rig.cycle();
        EXPECT_EQ(rig.pushed, c.pushed);
        EXPECT_EQ(rig.peers, c.peers);
    }
}

}  // namespace
}  // namespace orvalix
