#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../../support/allocation_count.hpp"
#include "../traffic/traffic_test_support.hpp"
#include "core/session/traffic_sink.hpp"
#include "core/traffic/traffic_stream.hpp"

namespace orvalix {
namespace {

using test::allocations;
using test::counting;

// An event refers to the session's data: telling a sink of one copies none of it, so the pump
// pays nothing per record for a sink that does not show it. Texts and names here are too long
// for a string's own small buffer, so that a copy would show.
TEST(TrafficSink, TellingAnyEventAllocatesNothing) {
    struct IgnoringSink final : TrafficSink {
        void onEvent(const TrafficEvent&) override {}
    } sink;
    const std::u16string environment(40, u'E');
    const std::u16string port(40, u'P');
    const std::string text(40, 'x');
    const Project project;
    const std::vector<std::u16string> usable{environment};
    const Environment settings = test::makeEnvironment(1, 1, {u"Request"});
    TrafficStream stream(settings);
    const std::vector<std::uint8_t> data(64, 0xAB);
    const std::vector<std::uint8_t> extra = test::makeExtra(1, 0);
    const StartedLog started{environment, std::u16string(40, u'/'), {}};
    const StoppedLog stopped{environment, std::u16string(40, u'/'), 7, {}};

    allocations = 0;
    counting = true;
    sink.onEvent(FolderOpened{project, usable});
    sink.onEvent(RecordPumped{environment, settings, data, 1, extra});
    sink.onEvent(StreamUpdated{environment, stream, 1, 1});
    sink.onEvent(LogFileStarted{environment, started});
    sink.onEvent(LogFileStopped{environment, stopped});
    sink.onEvent(RecordingsRefused{environment, 3});
    sink.onEvent(ServiceFailed{text});
    sink.onEvent(PortLost{environment, port, text});
    sink.onEvent(ConnectionOpened{environment, text});
    sink.onEvent(ConnectionClosed{environment, text});
    sink.onEvent(ConnectFailed{environment, port, text});
    sink.onEvent(LossCounted{Loss::records, environment, 1, 2});
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
}

}  // namespace
}  // namespace orvalix
