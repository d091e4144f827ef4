// A store ring that cannot be made ends the run at its start, before any port is opened,
// exactly as a port that cannot be opened does.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "core/diagnostics/trace_messages.hpp"
#include "core/service/simulation_service.hpp"
#include "service_test_support.hpp"

namespace orvalix {
namespace {

TEST(RingRefusal, AStoreRingAboveTheLimitEndsTheRunAtItsStartWithTheText) {
    struct Case {
        const char* rule;
        std::uint64_t limit;
        bool japanese;
        std::string error;  // empty: the run serves its port
    };
    // 100 records of 12 + 4 + 64 bytes.
    const Case cases[] = {
        {"a ring of exactly the limit runs", 8000, false, ""},
        {"one byte more fails the start", 7999, false,
         "Can't make the traffic history of Device: recordCapacity 100 and maxRecordLength 64 need 8000 "
         "bytes, "
         "more than the limit of 7999 bytes"},
        {"in the user's language", 7999, true,
         "Device の通信履歴を確保できません。recordCapacity 100、maxRecordLength 64 には 8000 "
         "バイトが必要で、上限の 7999 バイトを超えています。"},
    };
    for (const Case& c : cases) {
        test::TempFolder folder;
        test::Peer peer;
        const std::uint16_t port = test::freeUdpPort();
        SimulationService service(ServiceOptions{folder.path(), c.japanese, c.limit});
        service.setEnvironments({{u"Device", test::udp({test::step("R[0] == 0x31", "Reply")}, {}, port)}});
        service.setFrames({{u"Reply", test::frame({"0x41"})}});
        ASSERT_EQ(service.start(), 0) << c.rule;
        if (c.error.empty()) {
            EXPECT_EQ(peer.ask(port, {0x31}), test::Bytes{0x41}) << c.rule;
            EXPECT_TRUE(service.running()) << c.rule;
            service.stop();
            EXPECT_EQ(service.lastError(), "") << c.rule;
            continue;
        }
        for (int wait = 0; wait < 2000 && service.running(); ++wait) {  // bounded: a broken service fails
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ASSERT_FALSE(service.running()) << c.rule;
        EXPECT_EQ(service.lastError(), c.error) << c.rule;
        service.stop();
        const auto trace = test::checkpointsIn(folder.path() / trace_messages::kServiceTraceFile);
        EXPECT_EQ(std::ranges::count(trace, c.error), 1) << c.rule;
        EXPECT_EQ(std::ranges::count(trace, trace_messages::kOpenedPorts), 0)
            << c.rule << ": no port was opened";
    }
}

}  // namespace
}  // namespace orvalix
