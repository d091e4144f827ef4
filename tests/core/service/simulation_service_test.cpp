#include "core/service/simulation_service.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/platform/sockets_startup.hpp"
#include "core/ports/udp_socket.hpp"
#include "core/traffic/extra_block.hpp"
#include "service_test_support.hpp"

namespace orvalix {
namespace {

using test::Bytes;
using test::frame;
using test::step;

std::uint16_t freeUdpPort() {
    const auto probe = UdpSocket::bind(test::kLoopback, 0);
    return probe ? probe->localPort() : 0;
}

struct Record {
    Bytes data;
    std::uint32_t attribute = 0;
};

// The service end to end on loopback: a peer socket plays the equipment under test.
class SimulationServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sockets_.started());
        auto socket = UdpSocket::bind(test::kLoopback, 0);
        ASSERT_TRUE(socket);
        peer_.emplace(std::move(*socket));
    }

    // Sends the request until a reply comes that the filter accepts (the service may not be
    // listening yet, or may still use older frames); nothing once the bounded tries are spent.
    template <typename Accept>
    std::optional<Bytes> ask(std::uint16_t port, const Bytes& request, Accept accept) {
        const SocketAddress destination = ipv4SocketAddress(test::kLoopback, port);
        for (int attempt = 0; attempt < 100; ++attempt) {
            peer_->send(request, destination);
            for (int poll = 0; poll < 100; ++poll) {
                if (!peer_->readable()) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    continue;
                }
                std::array<std::uint8_t, 64> buffer{};
                SocketAddress sender;
                const auto count = peer_->receive(buffer, sender);
                if (count) {
                    Bytes reply(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(*count));
                    if (accept(reply)) {
                        return reply;
                    }
                }
            }
        }
        return std::nullopt;
    }
    std::optional<Bytes> ask(std::uint16_t port, const Bytes& request) {
        return ask(port, request, [](const Bytes&) { return true; });
    }

    // Waits, bounded, for a thread that ends by itself.
    void waitForEnd() {
        for (int i = 0; i < 5000 && service_.running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_FALSE(service_.running());
    }

    std::vector<Record> drain(std::u16string_view environment) {
        std::vector<Record> records;
        std::array<std::uint8_t, 64> data{};
        std::array<std::uint8_t, 16> extra{};
        std::uint64_t time = 0;
        while (const std::int32_t length = service_.popTraffic(environment, data, time, extra)) {
            records.push_back({Bytes(data.begin(), data.begin() + length), attribute(extra)});
        }
        return records;
    }

    std::vector<std::string> controllerTrace() const {
        return test::Rig::checkpointsIn(traceFolder_.path() / "Controller.csv");
    }

    platform::SocketsStartup sockets_;
    test::TempFolder traceFolder_;
    SimulationService service_{ServiceOptions{traceFolder_.path(), false}};
    std::optional<UdpSocket> peer_;
};

// Answers a request whose first byte is 0x31 with the frame "Reply".
Environment responder(std::uint16_t port, std::vector<SequenceStep> before = {}) {
    before.push_back(step("R[0] == 0x31", "Reply"));
    return test::udpEnvironment(std::move(before), {}, port);
}

TEST_F(SimulationServiceTest, AnswersARequestAndRecordsBothFrames) {
    const std::uint16_t port = freeUdpPort();
    service_.setEnvironments({{u"Device", responder(port)}});
    service_.setFrames({{u"Reply", frame({"0x41", "R[0]"})}});
    ASSERT_EQ(service_.start(), 0);
    EXPECT_TRUE(service_.hasThread());

    EXPECT_EQ(ask(port, {0x31}), (Bytes{0x41, 0x31}));
    service_.stop();
    EXPECT_FALSE(service_.hasThread());
    EXPECT_EQ(service_.lastError(), "");

    const auto records = drain(u"Device");
    ASSERT_GE(records.size(), 2u);
    EXPECT_EQ(records[0].data, Bytes{0x31});
    EXPECT_EQ(records[0].attribute, 0x80000000u);
    EXPECT_EQ(records[1].data, (Bytes{0x41, 0x31}));
    EXPECT_EQ(records[1].attribute, 0u);

    const auto trace = controllerTrace();
    const std::vector<std::string> startUp{"Start service.", "Opened ports.", "Start service loop.",
                                           "Cyclic process started.", "Prepared Times.", "Got TxDs."};
    ASSERT_GE(trace.size(), startUp.size());
    EXPECT_TRUE(std::equal(startUp.begin(), startUp.end(), trace.begin()));
    EXPECT_NE(std::find(trace.begin(), trace.end(), "Received 1 bytes."), trace.end());
    EXPECT_NE(std::find(trace.begin(), trace.end(), "Sent."), trace.end());
}

TEST_F(SimulationServiceTest, FramesHandedOverDuringARunAreUsedByALaterCycle) {
    const std::uint16_t port = freeUdpPort();
    service_.setEnvironments({{u"Device", responder(port)}});
    service_.setFrames({{u"Reply", frame({"0x41"})}});
    ASSERT_EQ(service_.start(), 0);
    EXPECT_EQ(ask(port, {0x31}), Bytes{0x41});

    service_.setFrames({{u"Reply", frame({"0x42", "0x43"})}});
    EXPECT_EQ(ask(port, {0x31}, [](const Bytes& reply) { return reply.front() != 0x41; }), (Bytes{0x42, 0x43}));
    service_.stop();
}

TEST_F(SimulationServiceTest, EnvironmentsAreVisitedInDescendingNameOrder) {
    // A has no steps ("Start index is 0" every cycle); B falls through two silent steps, so
    // from its second cycle on it starts at its last step.
    const std::uint16_t portA = freeUdpPort();
    const std::uint16_t portB = freeUdpPort();
    service_.setEnvironments({{u"A", test::udpEnvironment({}, {}, portA)},
                              {u"B", responder(portB, {step("0"), step("0")})}});
    service_.setFrames({{u"Reply", frame({"0x41"})}});
    ASSERT_EQ(service_.start(), 0);
    // Each reply is sent in a later cycle than the one before it: at least two cycles ran.
    ASSERT_TRUE(ask(portB, {0x31}));
    ASSERT_TRUE(ask(portB, {0x31}));
    service_.stop();

    const auto starts = test::matching(controllerTrace(), "Start index is");
    ASSERT_GE(starts.size(), 4u);
    EXPECT_EQ(starts[0], "Start index is 0");  // B, first cycle
    EXPECT_EQ(starts[1], "Start index is 0");  // A
    EXPECT_EQ(starts[2], "Start index is 2");  // B, second cycle
    EXPECT_EQ(starts[3], "Start index is 0");  // A
}

TEST_F(SimulationServiceTest, APortThatCannotBeOpenedEndsTheRunAndClosesTheOthers) {
    const std::uint16_t openable = freeUdpPort();
    const std::uint16_t taken = peer_->localPort();
    service_.setEnvironments({{u"A", test::udpEnvironment({}, {}, openable)},
                              {u"B", test::udpEnvironment({}, {}, taken)}});
    ASSERT_EQ(service_.start(), 0);
    waitForEnd();
    EXPECT_TRUE(service_.hasThread());  // ended, not yet released
    const std::string expected = "Can't open 127.0.0.1:" + std::to_string(taken);
    EXPECT_EQ(service_.lastError(), expected);
    EXPECT_TRUE(UdpSocket::bind(test::kLoopback, openable)) << "the port opened before stays open";

    const auto trace = controllerTrace();
    EXPECT_EQ(trace, (std::vector<std::string>{"Start service.", expected}));

    service_.stop();
    EXPECT_FALSE(service_.hasThread());
    EXPECT_EQ(service_.lastError(), expected);  // kept until the next start

    // The next start begins afresh.
    service_.setEnvironments({{u"A", test::udpEnvironment({}, {}, openable)}});
    ASSERT_EQ(service_.start(), 0);
    EXPECT_EQ(service_.lastError(), "");
    EXPECT_TRUE(service_.running());
    service_.stop();
    EXPECT_EQ(service_.lastError(), "");
}

TEST_F(SimulationServiceTest, AProjectWithoutUsableEnvironmentsRunsUntilStopped) {
    Environment unusable = test::udpEnvironment({}, {}, 1);
    unusable.port.localEndpointValid = false;
    service_.setEnvironments({{u"Nothing", unusable}});
    ASSERT_EQ(service_.start(), 0);
    EXPECT_TRUE(service_.running());
    ASSERT_EQ(service_.start(), 0);  // stops the first run
    EXPECT_TRUE(service_.running());
    service_.stop();
    EXPECT_FALSE(service_.running());
    EXPECT_FALSE(service_.hasThread());
    const auto trace = controllerTrace();
    ASSERT_GE(trace.size(), 3u);
    EXPECT_EQ(trace[0], "Start service.");
    EXPECT_EQ(trace[1], "Opened ports.");
    EXPECT_EQ(trace[2], "Start service loop.");
}

}  // namespace
}  // namespace orvalix
