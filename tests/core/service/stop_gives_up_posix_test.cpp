// A service thread that does not end within the wait of stop(): its trace file is a FIFO that
// nobody reads yet, so its last step (writing the trace) blocks until the test reads it.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "core/service/simulation_service.hpp"
#include "service_test_support.hpp"

namespace orvalix {
namespace {

TEST(StopGivesUp, AThreadThatDoesNotEndIsLetGoWithEverythingItUses) {
    test::TempFolder folder;
    const std::filesystem::path trace = folder.path() / "Controller.csv";
    ASSERT_EQ(::mkfifo(trace.c_str(), 0600), 0);
    test::Peer peer;
    const std::uint16_t port = test::freeUdpPort();
    {
        ServiceOptions options{folder.path(), Language::English};
        options.stopWait = std::chrono::milliseconds(50);  // the thread cannot end: any wait is given up
        SimulationService service(options);
        service.setEnvironments(std::make_shared<const EnvironmentMap>(
            EnvironmentMap{{u"Device", test::udp({test::step("R[0] == 0x31", "Reply")}, {}, port)}}));
        service.setFrames({{u"Reply", test::frame({"0x41"})}});
        ASSERT_FALSE(service.start());
        ASSERT_EQ(peer.ask(port, {0x31}), test::Bytes{0x41});

        service.stop();  // the thread is stuck opening the FIFO: stop gives up on it after its wait
        EXPECT_FALSE(service.hasThread());
        EXPECT_FALSE(service.running());

        // The next run starts while that thread still lives (its ports are closed already), with
        // the environments and frames handed over before.
        ASSERT_FALSE(service.start());
        EXPECT_EQ(peer.ask(port, {0x31}), test::Bytes{0x41});
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
