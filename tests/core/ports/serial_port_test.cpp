#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "../project/temp_folder.hpp"
#include "core/bytes/byte_buffer.hpp"
#include "core/ports/port.hpp"
#include "core/ports/serial_linux.hpp"
#include "core/ports/serial_port.hpp"
#include "core/text/text_conversion.hpp"
#include "port_test_support.hpp"

extern char** environ;

namespace orvalix {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::eventually;

// Settings 9 to 13 of a serial port: bit rate, parity, stop bits, data bits and flow control.
SerialOptions serialSettings(const std::vector<std::u16string>& line) {
    std::vector<std::u16string> values{u"COM3"};
    values.resize(9);
    values.insert(values.end(), line.begin(), line.end());
    return std::get<SerialOptions>(test::settingsOf(values).kind);
}

// Unknown keywords fall back to 8E1 without flow control; any bit rate above 0 is kept.
TEST(TermiosLineSettings, KeywordsSelectControlFlagsAndOnlyPositiveBitRatesAreAccepted) {
    const std::tuple<std::vector<std::u16string>, std::optional<tcflag_t>, std::uint32_t> cases[] = {
        // clang-format off
        {{u"9600", u""}, CS8 | PARENB, 9600}, {{u"9600", u"None"}, CS8, 9600},
        {{u"9600", u"Odd"}, CS8 | PARENB | PARODD, 9600}, {{u"9600", u"Mark"}, CS8 | PARENB, 9600},
        {{u"9600", u"", u"2"}, CS8 | PARENB | CSTOPB, 9600}, {{u"9600", u"", u"", u"7"}, CS7 | PARENB, 9600},
        {{u"9600", u"", u"1.5"}, CS8 | PARENB | CSTOPB, 9600},
        {{u"9600", u"Odd", u"2", u"7", u"RTS/CTS"}, CS7 | PARENB | PARODD | CSTOPB | CRTSCTS, 9600},
        {{u"250000", u"None"}, CS8, 250000}, {{u"1", u"None"}, CS8, 1}, {{u"0"}, std::nullopt, 0},
        {{u"-9600"}, std::nullopt, 0}, {{u"fast"}, std::nullopt, 0}, {{u""}, std::nullopt, 0},
        // clang-format on
    };
    for (const auto& [line, flags, bitRate] : cases) {
        const std::optional<TermiosLine> expected =
            flags ? std::optional(TermiosLine{bitRate, *flags}) : std::nullopt;
        EXPECT_EQ(termiosLine(serialSettings(line)), expected) << toNarrow(line[0] + line.back());
    }
}

// The counters wrap, so any change counts.
TEST(ReceiveErrorFlags, EachMovedCounterRaisesItsOwnFlag) {
    const LineErrorCounts before{5, 6, 7, 8, 9};
    EXPECT_EQ(receiveErrorFlags(before, before), 0u);
    EXPECT_EQ(receiveErrorFlags(before, {6, 6, INT_MIN, 8, 10}),
              kReceiveOverrun | kReceiveParity | kReceiveBreak);
    EXPECT_EQ(receiveErrorFlags(before, {5, 9, 7, 10, 9}), kReceiveOverrun | kReceiveFraming);
    EXPECT_EQ(receiveErrorFlags(before, {5, 6, 7, 8, 10}), kReceiveBreak);
}

// A pty pair made by socat: the port opens DIR/COM3, the test plays the equipment on DIR/peer.
class SerialPtyTest : public testing::Test {
protected:
    void SetUp() override {
        if (std::system("command -v socat > /dev/null 2>&1") != 0) {
            GTEST_SKIP() << "socat is not installed (apt package socat): no pty pair for the serial tests";
        }
        startPeer();
    }
    void startPeer() {
        std::string program = "socat", first = "pty,raw,echo=0,link=" + path("COM3").string(),
                    second = "pty,raw,echo=0,link=" + path("peer").string();
        char* const argv[] = {program.data(), first.data(), second.data(), nullptr};
        ASSERT_EQ(::posix_spawnp(&socat_, "socat", nullptr, nullptr, argv, environ), 0);
        ASSERT_TRUE(eventually([&] { return fs::exists(path("COM3")) && fs::exists(path("peer")); }));
        peer_ = ::open(path("peer").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        // socat may make its ends raw only after the links appear; bytes written before
        // that would be translated (a CR before each LF).
        termios raw{};
        ASSERT_EQ(::tcgetattr(peer_, &raw), 0);
        ::cfmakeraw(&raw);
        ASSERT_EQ(::tcsetattr(peer_, TCSANOW, &raw), 0);
    }
    void TearDown() override {
        ::close(peer_);
        if (socat_ > 0) {
            endPeer();
        }
    }

    fs::path path(const char* name) const { return folder_.path() / name; }
    // The far end goes: the kernel hangs up the pty the port holds, as it does the line of an
    // unplugged USB adapter.
    void endPeer() {
        ::kill(socat_, SIGCONT);
        ::kill(socat_, SIGTERM);
        ::waitpid(socat_, nullptr, 0);
        socat_ = -1;
        // A later peer must not be taken for ready by links this one left.
        fs::remove(path("COM3"));
        fs::remove(path("peer"));
    }
    // Parity None: a pty may refuse even parity at a bit rate outside the table.
    static Opening<SerialPort> openWithReason(const fs::path& path, std::u16string bitRate = u"9600") {
        SerialOptions line = serialSettings({bitRate, u"None"});
        line.device = toWide(path.string());
        return openSerialPort(line);
    }
    static std::optional<SerialPort> openAt(const fs::path& path, std::u16string bitRate = u"9600") {
        return openWithReason(path, std::move(bitRate)).opened;
    }
    // Stops or resumes the forwarding between the two ptys.
    void holdLine(bool hold) { ASSERT_EQ(::kill(socat_, hold ? SIGSTOP : SIGCONT), 0); }

    // Drains the peer until the port reported the write finished and count bytes came;
    // tells whether the port reported it.
    bool deliver(SerialPort& port, std::size_t count, Bytes& received) {
        bool finished = false;
        eventually([&] {
            std::uint8_t chunk[4096];
            for (ssize_t got = 0; (got = ::read(peer_, chunk, sizeof chunk)) > 0;) {
                received.insert(received.end(), chunk, chunk + got);
            }
            finished = finished || port.writeFinished();
            return finished && received.size() >= count;
        });
        return finished;
    }

    test::TempFolder folder_;
    int peer_ = -1;
    pid_t socat_ = -1;
};

// Linux queues at most 4095 bytes per line, so 20000 bytes take several reads; none may
// lose, repeat or reorder bytes, nor fill more than the buffer holds. A pty keeps no
// line-error counters, so every status is overwritten with 0.
TEST_F(SerialPtyTest, ReadTakesAllQueuedBytesInOrderAndNeverMoreThanTheBufferHolds) {
    const std::pair<std::size_t, std::size_t> cases[] = {{20000, kMaxFrameLength}, {100, 7}};
    for (const auto& [sentSize, bufferSize] : cases) {
        SerialPort port = openAt(path("COM3")).value();
        Bytes buffer(bufferSize), got;
        std::uint32_t status = 0xFFFFFFFF;
        SocketAddress sender;
        EXPECT_EQ(port.read(buffer, status, sender), 0u) << "nothing came yet";
        const Bytes sent = test::pattern(sentSize, static_cast<std::uint8_t>(bufferSize));
        std::size_t written = 0, reads = 0;
        eventually([&] {
            const ssize_t put = ::write(peer_, sent.data() + written, sent.size() - written);
            written += static_cast<std::size_t>(std::max<ssize_t>(put, 0));
            const std::size_t count = port.read(buffer, status = 0xFFFFFFFF, sender);
            EXPECT_TRUE(count <= buffer.size() && (count == 0 || status == 0)) << count << " bytes, " << status;
            reads += count > 0 ? 1 : 0;
            got.insert(got.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(count));
            return got.size() >= sent.size();
        });
        EXPECT_EQ(got, sent);
        // A read that took less than was queued would need far more calls.
        EXPECT_LT(reads, sentSize / bufferSize + 20);
    }
}

TEST_F(SerialPtyTest, FrameHeldUpOnTheLineKeepsThePortBusyAndEachCompletionIsConsumedOnce) {
    SerialPort port = openAt(path("COM3")).value();
    EXPECT_TRUE(port.writeFinished()) << "free before the first write";
    EXPECT_FALSE(port.writeFinished()) << "the answer consumed the completion";
    holdLine(true);
    // The line takes some frames into its buffers, then one cannot leave completely.
    Bytes expected, received;
    bool busy = false;
    for (std::uint8_t frame = 0; frame < 40 && !busy; ++frame) {
        const Bytes bytes = test::pattern(kMaxFrameLength, frame);
        port.write(bytes, SocketAddress{});
        expected.insert(expected.end(), bytes.begin(), bytes.end());
        busy = !port.writeFinished();
    }
    ASSERT_TRUE(busy) << "the held line took 40 frames";
    holdLine(false);
    EXPECT_TRUE(deliver(port, expected.size(), received));
    EXPECT_TRUE(received == expected) << received.size() << " of " << expected.size() << " bytes arrived";
    EXPECT_FALSE(port.writeFinished());
    port.write({}, SocketAddress{});
    EXPECT_TRUE(eventually([&] { return port.writeFinished(); })) << "a frame without bytes completes too";
}

// However the loss is found, it is told with the system's error number, the handle is closed,
// and the port neither reads nor takes frames any more.
TEST_F(SerialPtyTest, ADeviceThatGoesAwayIsReportedLostAndThePortClosesForGood) {
    for (const bool foundByWrite : {false, true}) {
        SCOPED_TRACE(foundByWrite ? "found by a write" : "found by a read");
        if (foundByWrite) {
            startPeer();
        }
        SerialPort port = openAt(path("COM3")).value();
        Bytes buffer(64);
        std::uint32_t status = 0;
        SocketAddress sender;
        EXPECT_EQ(port.read(buffer, status, sender), 0u);
        EXPECT_EQ(port.health(), PortHealth{}) << "nothing queued is not a device gone";
        ASSERT_TRUE(port.writeFinished());
        endPeer();
        if (foundByWrite) {
            port.write(test::pattern(10, 1), SocketAddress{});
        }
        EXPECT_TRUE(eventually([&] { return port.read(buffer, status, sender) == 0 && port.health().lostError != 0; }));
        EXPECT_EQ(port.health(), (PortHealth{EIO, 0}));
        EXPECT_FALSE(port.writeFinished()) << "a lost port takes no more frames";
        ::close(peer_);
        peer_ = -1;
    }
}

// Each failure carries the system's reason, which "Can't open" shows on its own line.
TEST_F(SerialPtyTest, OpenFailsForMissingBusyOrNonSerialDevicesButTakesAnyBitRate) {
    std::ofstream(path("COM5")) << "not a tty";
    const std::pair<Opening<SerialPort>, std::uint32_t> failures[] = {
        {openWithReason(path("COM9")), ENOENT}, {openWithReason(path("COM5")), ENOTTY},
        {openWithReason(path("COM3"), u"0"), EINVAL}};
    for (const auto& [opening, error] : failures) {
        EXPECT_FALSE(opening.opened);
        EXPECT_EQ(opening.error, error);
    }
    for (const std::u16string bitRate : {u"921600", u"250000", u"31250"}) {
        EXPECT_TRUE(openAt(path("COM3"), bitRate)) << toNarrow(bitRate);
    }
    {
        const SerialPort first = openAt(path("COM3")).value();
        EXPECT_EQ(openWithReason(path("COM3")).error, std::uint32_t{EBUSY}) << "a port in use";
    }
    EXPECT_TRUE(openAt(path("COM3"))) << "closing let go of the device";
}

}  // namespace
}  // namespace orvalix
