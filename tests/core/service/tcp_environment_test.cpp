// A TCP environment served by the cycle over loopback: the bytes a client sends are framed by
// the transmit condition and by the character time-out, and the answer goes back to it.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "core/platform/sockets_startup.hpp"
#include "core/ports/tcp_port.hpp"
#include "service_test_support.hpp"

namespace orvalix {
namespace {

using test::Bytes;
using test::step;

// The records pushed, without the number of the cycle that pushed them.
std::vector<std::string> records(const test::Rig& rig) {
    std::vector<std::string> texts;
    for (const std::string& pushed : rig.pushed) texts.push_back(pushed.substr(pushed.find(' ') + 1));
    return texts;
}

// Cycles whose clock stands still run until the condition holds, so no time-out can cut the
// bytes however the system hands them over.
template <typename Done>
bool cycleUntil(test::Rig& rig, Done done) {
    return test::eventually([&] {
        rig.cycle(0);
        return done();
    });
}

TEST(TcpEnvironment, AClientsBytesAreFramedByTheTransmitConditionAndByTheCharacterTimeout) {
    const platform::SocketsStartup sockets;
    ASSERT_TRUE(sockets.started());
    std::uint32_t error = 0;
    TcpPort port = TcpPort::listen(test::kLoopback, 0, error).value();
    test::Rig rig;
    rig.setFrames({{u"Echo", test::frame({"R[0]", "R[1]", "R[2]"})}});
    rig.attach(u"T", test::tcp(20, {step("R[2] == 3", "Echo")}), port);
    rig.start();

    TcpConnector connector = TcpConnector::start(test::kLoopback, port.localPort());
    TcpConnectProgress client;
    ASSERT_TRUE(test::eventually([&] { return (client = connector.poll()).connection.has_value(); }));
    TcpConnection& equipment = *client.connection;
    ASSERT_EQ(equipment.send(Bytes{1, 2, 3, 9}).status, TcpSendStatus::Complete);
    ASSERT_TRUE(cycleUntil(rig, [&] { return rig.pushed.size() == 2 && rig.environment(0).receiveBuffer.length == 1; }));
    EXPECT_EQ(records(rig), (std::vector<std::string>{"rx 01 02 03", "tx 01 02 03"}));
    std::array<std::uint8_t, 8> answer{};
    std::size_t got = 0;
    test::eventually([&] { return (got += equipment.receive(std::span(answer).subspan(got)).count) >= 3; });
    EXPECT_EQ(Bytes(answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(got)), (Bytes{1, 2, 3}));

    // 09 waits for the silence: 10 and 20 ms are not longer than 20 ms, 30 ms is.
    rig.cycle();
    rig.cycle();
    EXPECT_EQ(rig.pushed.size(), 2u);
    rig.cycle();
    EXPECT_EQ(records(rig), (std::vector<std::string>{"rx 01 02 03", "tx 01 02 03", "rx 09"}));
}

}  // namespace
}  // namespace orvalix
