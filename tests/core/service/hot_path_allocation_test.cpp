// Counts the heap allocations of whole cycles: the cycle path must make none once a run has
// seen its names (the first cycles may add names-table and store entries).

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/platform/sockets_startup.hpp"
#include "core/ports/tcp_port.hpp"
#include "core/service/simulation_service.hpp"
#include "service_test_support.hpp"
#include "../../support/allocation_count.hpp"

namespace orvalix {
namespace {

using test::allocations;
using test::counting;

using test::named;
using test::step;

// A serial port at 921,600 bit/s delivers about 922 bytes per cycle: 16 named conditions and
// 16 steps each, answered with a checksummed frame every eighth byte; a UDP port beside it.
// 920 bytes keep every frame starting alike, so no cycle counted meets a name for the first time.
TEST(HotPath, CyclesAllocateNothingOnceTheRunHasSeenItsNames) {
    test::Rig rig;
    rig.keepPushes = false;
    rig.setFrames({{u"Reply", test::frame({"0x02", "R[0]", "R[7]", "CRC_CCITT1(T, 0, 3)", "", "0x03"})}});
    std::vector<NamedCondition> conditions;
    std::vector<SequenceStep> steps;
    for (int i = 0; i < 16; ++i) {
        const std::string n = std::to_string(i);
        conditions.push_back(named("N" + n, "R[0] == " + n, "R[1] == " + n, "SUM(R, 0, 2) == " + n));
        // Steps fall through to the last, which goes back to the top: all 16 are evaluated per byte.
        steps.push_back(step("R[7] == " + n, "Reply", i == 15 ? "Top" : "", i == 15 ? "1" : "0", i == 0 ? "Top" : ""));
    }
    test::FakePort& serial = rig.add(u"S", test::serial(20, steps, conditions));
    test::FakePort& udp = rig.add(u"U", test::udp({step("R[0] >= 0", "Reply", "Top", "", "Top")}, conditions));
    serial.keepWrites = udp.keepWrites = false;
    rig.start();
    test::Bytes burst(920);
    std::ranges::generate(burst, [i = 0]() mutable { return static_cast<std::uint8_t>(i++ % 16); });
    serial.incoming.assign(4, burst);
    udp.incoming.assign(4, test::Bytes(100, 1));
    rig.cycle();
    rig.cycle();

    serial.incoming.push_back(burst);  // for the passes between cycles
    udp.incoming.push_back(test::Bytes(100, 1));

    counting = true;
    rig.cycle();
    rig.cycle();
    rig.cycle(5 * test::kCycle);  // nothing comes: the serial frame times out
    rig.cycle();
    // On arrival: both ports ready between two cycles, then the serial frame's deadline.
    const std::size_t bothReady[] = {0, 1};
    rig.between(test::kCycle / 4, bothReady);
    rig.between(test::kCycle * 3, {});
    counting = false;

    EXPECT_EQ(allocations.load(), 0);
    EXPECT_GT(serial.writeCount, 100u);
    EXPECT_GT(rig.pushCount, 200u);
}

// A TCP server answering its client's requests, the client replaced by another in between, and
// a TCP client whose server is gone retrying on a clock the test steps: accepting, serving,
// dropping, failing to connect and trying again allocate nothing.
TEST(HotPath, TcpPortsServeAndRetryWithoutAllocating) {
    const platform::SocketsStartup sockets;
    ASSERT_TRUE(sockets.started());
    std::uint32_t error = 0;
    TcpPort server = TcpPort::listen(test::kLoopback, 0, error).value();
    const std::uint16_t nobodyListens = TcpPort::listen(test::kLoopback, 0, error).value().localPort();
    std::int64_t now = 0;
    TcpPort client = TcpPort::connect(test::kLoopback, nobodyListens, [&now] { return now; });
    test::Rig rig;
    rig.keepPushes = rig.keepReports = false;
    rig.setFrames({{u"Reply", test::frame({"0x06", "R[0]"})}});
    rig.attach(u"S", test::tcp(1000, {step("R[1] == 3", "Reply")}), server);
    rig.attach(u"C", test::tcp(20, {step("1", "Reply")}), client);  // sends with no peer to take them
    rig.start();
    const auto connect = [&] { return std::optional(test::connectTo(server.localPort())); };
    // A request answered; false when no answer came.
    const auto ask = [&](TcpConnection& equipment, std::uint8_t code) {
        const std::array<std::uint8_t, 2> request{code, 3};
        std::array<std::uint8_t, 2> answer{};
        std::size_t got = 0;
        equipment.send(request);
        return test::eventually([&] {
            rig.cycle();
            got += equipment.receive(std::span(answer).subspan(got)).count;
            return got == 2;
        }) && answer[1] == code;
    };
    std::optional<TcpConnection> equipment = connect();
    ASSERT_TRUE(equipment && ask(*equipment, 1)) << "names and frames are seen before counting";

    counting = true;
    int answered = 0;
    for (std::uint8_t code = 2; code < 6; ++code) {
        now += TcpPort::kRetryDelayMs;
        if (code == 4) {
            equipment.reset();
            equipment = connect();
        }
        answered += equipment && ask(*equipment, code) ? 1 : 0;
    }
    counting = false;

    EXPECT_EQ(allocations.load(), 0);
    EXPECT_EQ(answered, 4);
    EXPECT_EQ(server.health().connections.opened, 2u);
    EXPECT_GE(client.health().connections.failedAttempts, 4u);
    EXPECT_GT(client.health().connections.droppedSends, 4u);
}

// A run shares the project's environments: handing them over, starting and answering the first
// request allocates as much for a sequence of 10 steps as for one of 500, where a copy of the
// steps would cost at least three allocations each.
TEST(StartUp, TheRunReadsTheEnvironmentsItWasHandedWithoutCopyingThem) {
    const platform::SocketsStartup sockets;
    const auto allocationsToFirstAnswer = [](int stepCount) {
        std::vector<SequenceStep> steps{step("R[0] == 0x31", "Reply", "Top", "1", "Top")};
        for (int k = 1; k < stepCount; ++k) {
            steps.push_back(step("(R[0] == 0x02) & (R[1] == " + std::to_string(k % 256) + ")", "Reply",
                                 "Step" + std::to_string(k), "R[2] == 3", "Step" + std::to_string(k)));
        }
        const test::TempFolder folder;
        test::Peer peer;
        const std::uint16_t port = test::freeUdpPort();
        auto environments =
            std::make_shared<const EnvironmentMap>(EnvironmentMap{{u"Device", test::udp(std::move(steps), {}, port)}});
        SimulationService service(ServiceOptions{folder.path(), Language::English});
        service.setFrames({{u"Reply", test::frame({"0x41"})}});
        allocations = 0;
        counting = true;
        service.setEnvironments(environments);
        const std::error_code started = service.start();
        const std::optional<test::Bytes> answer = peer.ask(port, {0x31});
        counting = false;
        service.stop();
        EXPECT_FALSE(started) << started.message();
        EXPECT_EQ(answer, test::Bytes{0x41});
        return allocations.load();
    };
    const long few = allocationsToFirstAnswer(10);
    const long many = allocationsToFirstAnswer(500);
    EXPECT_LT(many - few, 500) << few << " allocations for 10 steps, " << many << " for 500";
}

}  // namespace
}  // namespace orvalix
