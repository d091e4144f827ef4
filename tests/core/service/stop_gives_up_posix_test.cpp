// A service thread that does not end within the wait of stop(): its trace file is a FIFO that
// nobody reads yet, so its last step (writing the trace) blocks until the test reads it.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>

#include "core/ports/udp_socket.hpp"
#include "core/service/simulation_service.hpp"
#include "service_test_support.hpp"

namespace orvalix {
namespace {

using test::Bytes;
using test::frame;
using test::step;

std::optional<Bytes> ask(UdpSocket& peer, std::uint16_t port) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        peer.send(Bytes{0x31}, ipv4SocketAddress(test::kLoopback, port));
        for (int poll = 0; poll < 100; ++poll) {
            if (peer.readable()) {
                std::array<std::uint8_t, 16> buffer{};
                SocketAddress sender;
                if (const auto count = peer.receive(buffer, sender)) {
                    return Bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(*count));
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return std::nullopt;
}

TEST(StopGivesUp, AThreadThatDoesNotEndIsLetGoWithEverythingItUses) {
    test::TempFolder folder;
    const std::filesystem::path trace = folder.path() / "Controller.csv";
    ASSERT_EQ(::mkfifo(trace.c_str(), 0600), 0);
    auto peer = UdpSocket::bind(test::kLoopback, 0);
    ASSERT_TRUE(peer);
    const std::uint16_t port = [] {
        const auto probe = UdpSocket::bind(test::kLoopback, 0);
        return probe ? probe->localPort() : std::uint16_t{0};
    }();

    {
        SimulationService service(ServiceOptions{folder.path(), false});
        service.setEnvironments({{u"Device", test::udpEnvironment({step("R[0] == 0x31", "Reply")}, {}, port)}});
        service.setFrames({{u"Reply", frame({"0x41"})}});
        ASSERT_EQ(service.start(), 0);
        ASSERT_EQ(ask(*peer, port), Bytes{0x41});

        service.stop();  // the thread is stuck opening the FIFO: stop gives up on it after its wait
        EXPECT_FALSE(service.hasThread());
        EXPECT_FALSE(service.running());

        // The next run starts while that thread still lives (its ports are closed already), with
        // the environments and frames handed over before.
        ASSERT_EQ(service.start(), 0);
        EXPECT_EQ(ask(*peer, port), Bytes{0x41});
        EXPECT_EQ(service.lastError(), "");
    }  // destroying the service gives up on the second thread as well

    // Reading the FIFO lets both abandoned threads write their traces and end, on state that
    // outlived the service (a sanitizer build would see any use of freed state).
    std::ifstream reader(trace);
    const std::string written((std::istreambuf_iterator<char>(reader)), std::istreambuf_iterator<char>());
    EXPECT_NE(written.find("Start service."), std::string::npos);
}

}  // namespace
}  // namespace orvalix
