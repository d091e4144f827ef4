#include "core/session/session.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <ranges>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "../capture/pcapng_reader.hpp"
#include "../service/service_test_support.hpp"
#include "core/diagnostics/trace_messages.hpp"
#include "core/platform/sockets_startup.hpp"
#include "port_event_sink.hpp"

namespace orvalix {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using Texts = std::vector<std::string>;
using Names = std::vector<std::u16string>;

// What the traffic windows would see; records as test::describeRecord gives them.
struct RecordingSink final : test::PortEventSink {
    void onEvent(const TrafficEvent& event) override {
        const auto keepAll = EventHandlers{
            [&](const FolderOpened& folder) { opened.push_back(folder.usableEnvironments); },
            [&](const RecordPumped& record) {
                records.push_back(test::describeRecord(record.settings, record.data, record.extra));
            },
            [&](const StreamUpdated& update) {
                updates.push_back(toNarrow(update.environment) + ": " + std::to_string(update.addedMarks) + " " +
                                  std::to_string(update.appendedRecords));
            },
            [&](const ServiceFailed& failed) { failures.push_back(failed.text); },
            [&](const LossCounted& loss) {
                if (loss.kind != Loss::records) {
                    keep(loss);
                    return;
                }
                lost.push_back(toNarrow(loss.environment) + " " + std::to_string(loss.added) + " of " +
                               std::to_string(loss.total));
            },
            [&](const auto& other) { keep(other); },
        };
        std::visit(keepAll, event);
    }

    std::vector<Names> opened;
    Texts lost;
    Texts records, updates, failures;
};

class SessionTest : public ::testing::Test {
protected:
    void writeEnvironment(std::u16string name, std::uint16_t port, int records = 100, std::string remote = "") {
        data_.write(name + u".Environments.csv",
                    "Setting,Description,Value\r\nPort,,127.0.0.1:" + std::to_string(port) + "\r\nRecords,," +
                        std::to_string(records) + "\r\nRecordLength,,64\r\nPreTrigger,,0\r\nPostTrigger,,0\r\n"
                        "5,,\r\n6,,\r\n7,,\r\n8,,\r\nRemote,," + remote + "\r\n");
    }
    // A device D1 that sends AA to the client once its port is open, then answers every
    // datagram with EE and the datagram's first byte. Its named condition Ping holds, and
    // marks, for a datagram that begins with 01. C1 beside it has no steps.
    std::uint16_t writeEchoDevice(int records = 100) {
        const std::uint16_t port = test::freeUdpPort();
        writeEnvironment(u"C1", otherPort_);
        writeEnvironment(u"D1", port, records, "127.0.0.1:" + std::to_string(client_.port()));
        data_.write(u"D1.Sequences.csv",
                    "Label,Tx,Frame,Jump,Target\r\nhello,1,Hello,1,echo\r\necho,R[0] >= 0,Echo,1,echo\r\n");
        data_.write(u"D1.Named.csv", "Name,Condition,Mark,Trigger\r\nPing,R[0] == 1,,\r\n");
        data_.write(u"Hello.csv", "Frame,Hello\r\nOffset,Value\r\n0,0xAA\r\n");
        data_.write(u"Echo.csv", "Frame,Echo\r\nOffset,Value\r\n0,0xEE\r\n1,R[0]\r\n");
        session_.open(data_.wide());
        return port;
    }
    // Starts the run and waits until the device has its port open.
    void startAndAwaitHello() {
        ASSERT_TRUE(session_.start());
        ASSERT_EQ(client_.ask(0, {}, 1, 10000), Bytes{0xAA});
    }
    void ticks(int count) {
        for (int tick = 0; tick < count; ++tick) {
            session_.tick();
        }
    }
    // The user-interface trace, emptied.
    Texts checkpoints() {
        EXPECT_TRUE(trace_.dumpToFile(traces_.path() / "checkpoints.csv"));
        return test::checkpointsIn(traces_.path() / "checkpoints.csv");
    }
    std::ptrdiff_t countOf(std::string_view text) { return std::ranges::count(checkpoints(), text); }

    platform::SocketsStartup sockets_;
    test::TempFolder data_;
    test::TempFolder traces_;
    test::Peer client_;  // sends each request once, so that the service sees it once
    std::uint16_t otherPort_ = test::freeUdpPort();
    ExecutionTrace trace_{trace_messages::kPrimaryTraceCapacity};
    RecordingSink sink_;
    Session session_{trace_, sink_, ServiceOptions{traces_.path(), Language::English}};
};

// Usability itself is the port settings' rule; the session keeps map order and skips the others.
TEST_F(SessionTest, OpenMakesStreamsOfUsableEnvironmentsAndEachTickPumpsZeroBytesForEach) {
    EXPECT_FALSE(session_.start());  // no folder open
    writeEnvironment(u"A1", test::freeUdpPort());
    data_.write(u"B1.Environments.csv", "Setting,Description,Value\r\n");
    writeEnvironment(u"C1", test::freeUdpPort());
    session_.open(data_.wide());
    EXPECT_EQ(sink_.opened, (std::vector<Names>{{u"A1", u"C1"}}));
    EXPECT_EQ(session_.usableEnvironments(), sink_.opened[0]);
    EXPECT_EQ(session_.stream(u"B1"), nullptr);
    ASSERT_TRUE(session_.start());
    session_.tick();
    EXPECT_EQ(countOf("UpdateTraffic : Pumped up 0 bytes."), 2);
    EXPECT_TRUE(sink_.updates.empty());
    EXPECT_TRUE(session_.pumpArmed());

    // A folder that is gone is not started.
    session_.stop();
    ticks(100);  // ticks of a disarmed pump do nothing
    fs::remove_all(data_.path());
    EXPECT_FALSE(session_.start());
    EXPECT_FALSE(session_.pumpArmed() || session_.runActive());
}

TEST_F(SessionTest, TicksWithinTwoSecondsOfStartLookAtNoFrameFile) {
    writeEchoDevice();
    const auto started = std::chrono::steady_clock::now();
    startAndAwaitHello();
    ticks(3);
    if (std::chrono::steady_clock::now() - started >= std::chrono::milliseconds(1900)) {
        GTEST_SKIP() << "the machine was too slow to tick three times within 2 s of Start";
    }
    const Texts texts = checkpoints();
    EXPECT_EQ(std::ranges::count(texts, "OnTickUpdateTimer : started."), 3);
    EXPECT_EQ(std::ranges::count(texts, "OnTickUpdateTimer : updated TxDs."), 0);
    session_.stop();
}

// Start and open both begin with empty streams.
TEST_F(SessionTest, AfterStopExactlyOneMorePumpMovesWhatTheServiceHandedOver) {
    const std::uint16_t port = writeEchoDevice();
    const std::function<void()> restarts[] = {[&] { startAndAwaitHello(); }, [&] { session_.open(data_.wide()); }};
    for (const auto& restart : restarts) {
        sink_ = {};
        startAndAwaitHello();
        ASSERT_EQ(client_.ask(port, {0x01}, 1, 10000), (Bytes{0xEE, 0x01}));
        checkpoints();
        session_.stop();
        EXPECT_TRUE(session_.pumpArmed() && !session_.runActive());
        ticks(3);
        EXPECT_FALSE(session_.pumpArmed());
        EXPECT_EQ(countOf("OnTickUpdateTimer : started."), 1);
        // The mark value stayed 1 from the request to its answer: no new rise.
        EXPECT_EQ(sink_.records, (Texts{"tx aa", "rx 01 m0 t0", "tx ee 01"}));
        EXPECT_EQ(sink_.updates, Texts{"D1: 1 3"});  // one refresh, with the tick's totals
        EXPECT_TRUE(sink_.failures.empty());
        const TrafficStream* stream = session_.stream(u"D1");
        EXPECT_EQ(std::pair(stream->recordCount(), stream->markCount()), std::pair(3, 1));
        restart();
        stream = session_.stream(u"D1");  // open makes new streams
        EXPECT_EQ(std::pair(stream->recordCount(), stream->markCount()), std::pair(0, 0));
        session_.stop();
        ticks(100);
    }
    // D1 jumps from its first step to its second in its first cycle; C1 has no steps.
    Texts starts = test::matching(test::checkpointsIn(traces_.path() / "Controller.csv"), "Start index");
    starts.resize(4);
    EXPECT_EQ(starts, (Texts{"Start index is 0", "Start index is 0", "Start index is 1", "Start index is 0"}))
        << "D1, C1: descending name order";
}

// A capture that cannot be made is not started; opening a folder stops one.
TEST_F(SessionTest, PausedPumpLeavesRecordsInTheStoreWhichKeepsOnlyTheNewestAndTheCaptureHasThem) {
    const std::uint16_t port = writeEchoDevice(3);
    EXPECT_EQ(session_.startCapture(traces_.path() / "none" / "run.pcapng"), std::errc::no_such_file_or_directory);
    EXPECT_FALSE(session_.capturing());
    const fs::path capture = traces_.path() / "run.pcapng";
    ASSERT_FALSE(session_.startCapture(capture));
    EXPECT_TRUE(session_.capturing());
    session_.setPaused(true);
    startAndAwaitHello();
    for (std::uint8_t n = 1; n <= 5; ++n) {
        ASSERT_EQ(client_.ask(port, {n}, 1, 10000), (Bytes{0xEE, n}));
        session_.tick();
    }
    EXPECT_TRUE(sink_.records.empty());
    EXPECT_EQ(countOf("UpdateTraffic : Start updating traffics."), 0);
    session_.setPaused(false);
    session_.tick();
    // Eleven records went into a store that keeps three.
    EXPECT_EQ(sink_.records, (Texts{"tx ee 04", "rx 05", "tx ee 05"}));
    EXPECT_EQ(session_.stream(u"D1")->recordCount(), 3);
    session_.stop();
    // Each tick tells what it found lost since the last; together they make the total.
    ASSERT_FALSE(sink_.lost.empty());
    EXPECT_EQ(sink_.lost.back().substr(sink_.lost.back().find(" of ")), " of 8");
    std::uint64_t sum = 0;
    for (const std::string& text : sink_.lost) sum += std::stoull(text.substr(3));
    EXPECT_EQ(sum, 8u) << ::testing::PrintToString(sink_.lost);
    // The capture has the records pumped and a statistics block per report, the last with the total.
    std::ifstream in(capture, std::ios::binary);
    const auto blocks = test::readBlocks(Bytes(std::istreambuf_iterator<char>(in), {}));
    EXPECT_EQ(std::ranges::count(blocks, 6u, &test::Block::type), 3);
    EXPECT_EQ(std::ranges::count(blocks, 5u, &test::Block::type), std::ssize(sink_.lost));
    const auto lastStatistics =
        std::find_if(blocks.rbegin(), blocks.rend(), [](const test::Block& block) { return block.type == 5u; });
    ASSERT_NE(lastStatistics, blocks.rend());
    EXPECT_EQ(lastStatistics->options.back(), (test::Option{5, {8, 0, 0, 0, 0, 0, 0, 0}}));
    EXPECT_TRUE(session_.capturing()) << "a stopped run keeps its capture";
    session_.open(data_.wide());
    EXPECT_FALSE(session_.capturing());
}

TEST_F(SessionTest, ServiceErrorIsReportedOnceAndDisarmsThePumpUntilTheNextStart) {
    const std::uint16_t port = writeEchoDevice();
    auto blocker = UdpSocket::bind(test::kLoopback, port);
    ASSERT_TRUE(session_.start());
    for (int wait = 0; wait < 2000 && session_.runActive(); ++wait) {  // bounded: a broken service fails
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_FALSE(session_.runActive());
    EXPECT_TRUE(UdpSocket::bind(test::kLoopback, otherPort_).opened) << "C1, opened before, is still open";
    ticks(3);
    // The system's reason follows on a line of its own.
    const std::string expected = "Can't open 127.0.0.1:" + std::to_string(port) + "\n";
    ASSERT_EQ(sink_.failures.size(), 1u);
    EXPECT_TRUE(sink_.failures[0].starts_with(expected) && sink_.failures[0].size() > expected.size())
        << sink_.failures[0];
    EXPECT_FALSE(session_.pumpArmed());
    // The trace keeps it on one line.
    std::string traced = sink_.failures[0];
    std::ranges::replace(traced, '\n', ' ');
    EXPECT_EQ(countOf(traced), 1);

    blocker.opened.reset();
    startAndAwaitHello();
    session_.tick();
    EXPECT_TRUE(session_.pumpArmed());
    EXPECT_EQ(sink_.failures.size(), 1u);
    session_.stop();
    ticks(100);
}

// A history above the limit ends the run as a port that cannot be opened does: the service
// refuses its ring at its start, before any port is opened, and the next tick tells.
TEST_F(SessionTest, AHistoryAboveTheMemoryLimitEndsTheRunWithTheTextAndOpensNothing) {
    writeEnvironment(u"A1", test::freeUdpPort(), 50);  // 50 records of 12 + 4 + 64 bytes: 4000
    writeEnvironment(u"B1", test::freeUdpPort(), 100);  // 8000
    struct Case {
        const char* rule;
        std::uint64_t limit;
        Language language;
        std::string failure;
    };
    const Case cases[] = {
        {"every history fits", 8000, Language::English, ""},
        {"B1 needs one byte more than the limit", 7999, Language::English,
         "Can't make the traffic history of B1: recordCapacity 100 and maxRecordLength 64 need 8000 bytes, "
         "more than the limit of 7999 bytes"},
        // B1 is refused too: the first in map order is told, as the store's own test pins.
        {"in the user's language", 3999, Language::Japanese,
         "A1 の通信履歴を確保できません。recordCapacity 50、maxRecordLength 64 には 4000 "
         "バイトが必要で、上限の 3999 バイトを超えています。"},
    };
    for (const Case& c : cases) {
        const test::TempFolder traces;
        RecordingSink sink;
        {
            Session session(trace_, sink, ServiceOptions{traces.path(), c.language, c.limit});
            session.open(data_.wide());
            ASSERT_TRUE(session.start()) << c.rule;
            for (int wait = 0; wait < 200 && session.runActive(); ++wait) {  // a run that works goes on
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            session.tick();
            EXPECT_EQ(sink.failures, c.failure.empty() ? Texts{} : Texts{c.failure}) << c.rule;
            EXPECT_EQ(session.pumpArmed(), c.failure.empty()) << c.rule;
        }
        const Texts controller = test::checkpointsIn(traces.path() / trace_messages::kServiceTraceFile);
        EXPECT_EQ(std::ranges::count(controller, trace_messages::kOpenedPorts), c.failure.empty() ? 1 : 0)
            << c.rule << ": a refused run opens no port";
        if (!c.failure.empty()) {
            EXPECT_EQ(std::ranges::count(controller, c.failure), 1) << c.rule;
            EXPECT_EQ(countOf(c.failure), 1) << c.rule << ": in the user-interface trace too";
        }
    }
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;  // the sanitizers' allocators abort on a request this large
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// Without a limit, a history whose memory cannot be had is tried again at Start, then fails it.
TEST_F(SessionTest, AHistoryWhoseMemoryCannotBeHadFailsStartWithoutAThread) {
    if (kSanitized) {
        GTEST_SKIP() << "a sanitizer's allocator aborts instead of throwing";
    }
    writeEnvironment(u"A1", test::freeUdpPort(), 2147483647);
    Session session(trace_, sink_, ServiceOptions{traces_.path(), Language::English, UINT64_MAX});
    session.open(data_.wide());
    if (session.stream(u"A1")->ring().capacity() != 0) {
        GTEST_SKIP() << "this system hands out 172 GB it does not have";
    }
    ASSERT_TRUE(session.start());
    EXPECT_EQ(sink_.failures, Texts{"Can't make the traffic history of A1: recordCapacity 2147483647 and "
                                    "maxRecordLength 64 need 171798691760 bytes, and that much memory cannot be had"});
    EXPECT_FALSE(session.pumpArmed() || session.runActive());
}

}  // namespace
}  // namespace orvalix
