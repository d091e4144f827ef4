#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/expression/byte_buffer.hpp"
#include "core/ports/port.hpp"
#include "core/ports/serial_port.hpp"
#include "core/ports/serial_posix.hpp"
#include "core/text/text_conversion.hpp"
#include "port_test_support.hpp"

extern char** environ;

namespace orvalix {
namespace {

namespace fs = std::filesystem;

// Settings 0 and 9 to 13 of a serial environment; the rest stay empty.
PortSettings serialSettings(const std::u16string& name, const std::u16string& bitRate = u"9600",
                            const std::u16string& parity = u"None", const std::u16string& stopBits = u"",
                            const std::u16string& dataBits = u"", const std::u16string& flowControl = u"") {
    return test::settingsOf(
        {name, u"", u"", u"", u"", u"", u"", u"", u"", bitRate, parity, stopBits, dataBits, flowControl});
}

std::vector<std::uint8_t> pattern(std::size_t length, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7 + i / 251);
    }
    return bytes;
}

void waitAMoment() { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }

// Bounds every wait for the other side: generous, only there to keep a fault from hanging.
constexpr int kPatience = 5000;

TEST(SerialDevicePath, NameWithSlashIsAPathOtherNamesLiveInDev) {
    struct Case {
        std::u16string name;
        std::string path;
    };
    const Case cases[] = {
        {u"COM3", "/dev/COM3"}, {u"/tmp/x/COM3", "/tmp/x/COM3"}, {u"ttyUSB0", "/dev/ttyUSB0"},
        {u"pts/4", "pts/4"},    {u"./COM1", "./COM1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(serialDevicePath(c.name), c.path) << toNarrow(c.name);
    }
}

TEST(TermiosLineSettings, KeywordsSelectControlFlagsAndEverythingElseIs8E1) {
    struct Case {
        const char* what;
        PortSettings settings;
        tcflag_t flags;
    };
    const Case cases[] = {
        {"all empty", serialSettings(u"COM3", u"9600", u""), CS8 | PARENB},
        {"None", serialSettings(u"COM3", u"9600", u"None"), CS8},
        {"Odd", serialSettings(u"COM3", u"9600", u"Odd"), CS8 | PARENB | PARODD},
        {"unknown parity", serialSettings(u"COM3", u"9600", u"Mark"), CS8 | PARENB},
        {"2 stop bits", serialSettings(u"COM3", u"9600", u"", u"2"), CS8 | PARENB | CSTOPB},
        {"1.5 stop bits become 2", serialSettings(u"COM3", u"9600", u"", u"1.5"), CS8 | PARENB | CSTOPB},
        {"7 data bits", serialSettings(u"COM3", u"9600", u"", u"", u"7"), CS7 | PARENB},
        {"RTS/CTS", serialSettings(u"COM3", u"9600", u"", u"", u"", u"RTS/CTS"), CS8 | PARENB | CRTSCTS},
        {"7O2 RTS/CTS", serialSettings(u"COM3", u"9600", u"Odd", u"2", u"7", u"RTS/CTS"),
         CS7 | PARENB | PARODD | CSTOPB | CRTSCTS},
    };
    for (const Case& c : cases) {
        const std::optional<TermiosLine> line = termiosLine(c.settings);
        ASSERT_TRUE(line.has_value()) << c.what;
        EXPECT_EQ(line->controlFlags, c.flags) << c.what;
        EXPECT_EQ(line->bitRate, 9600u) << c.what;
    }
}

TEST(TermiosLineSettings, AnyPositiveBitRateIsKeptAndNoneOtherIsAccepted) {
    struct Case {
        std::u16string text;
        std::optional<std::uint32_t> bitRate;
    };
    const Case cases[] = {
        {u"9600", 9600u},         {u"250000", 250000u},    {u"1", 1u},          {u"0", std::nullopt},
        {u"-9600", std::nullopt}, {u"fast", std::nullopt}, {u"", std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<TermiosLine> line = termiosLine(serialSettings(u"COM3", c.text));
        EXPECT_EQ(line.has_value(), c.bitRate.has_value()) << toNarrow(c.text);
        if (line && c.bitRate) {
            EXPECT_EQ(line->bitRate, *c.bitRate) << toNarrow(c.text);
        }
    }
}

TEST(ReceiveErrorFlags, EachMovedCounterRaisesItsFlag) {
    const LineErrorCounts before{5, 6, 7, 8, 9};
    struct Case {
        const char* what;
        LineErrorCounts after;
        std::uint32_t flags;
    };
    const Case cases[] = {
        {"nothing moved", {5, 6, 7, 8, 9}, 0},
        {"overrun", {6, 6, 7, 8, 9}, kReceiveOverrun},
        {"buffer overrun", {5, 9, 7, 8, 9}, kReceiveOverrun},
        {"parity", {5, 6, 8, 8, 9}, kReceiveParity},
        {"framing", {5, 6, 7, 10, 9}, kReceiveFraming},
        {"break", {5, 6, 7, 8, 10}, kReceiveBreak},
        {"all", {6, 7, 8, 9, 10}, kReceiveOverrun | kReceiveParity | kReceiveFraming | kReceiveBreak},
        {"wrapped counter", {5, 6, -2147483647 - 1, 8, 9}, kReceiveParity},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(receiveErrorFlags(before, c.after), c.flags) << c.what;
    }
}

// A pty pair made by socat: the port opens DIR/COM3, the test plays the equipment on DIR/peer.
class SerialPtyTest : public testing::Test {
protected:
    void SetUp() override {
        if (std::system("command -v socat > /dev/null 2>&1") != 0) {
            GTEST_SKIP() << "socat is not installed (apt package socat): no pty pair for the serial tests";
        }
        std::string dirTemplate = (fs::path(testing::TempDir()) / "orvalix-serial-XXXXXX").string();
        ASSERT_NE(::mkdtemp(dirTemplate.data()), nullptr);
        dir_ = dirTemplate;
        ASSERT_NO_FATAL_FAILURE(startSocat());
        peer_ = ::open((dir_ / "peer").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(peer_, 0) << "cannot open the peer end";
        // socat may make its ends raw only after the links appear; bytes written before
        // that would be translated (a CR before each LF).
        termios raw{};
        ASSERT_EQ(::tcgetattr(peer_, &raw), 0);
        ::cfmakeraw(&raw);
        ASSERT_EQ(::tcsetattr(peer_, TCSANOW, &raw), 0);
    }

    void TearDown() override {
        if (peer_ >= 0) {
            ::close(peer_);
        }
        if (socat_ > 0) {
            ::kill(socat_, SIGCONT);
            ::kill(socat_, SIGTERM);
            ::waitpid(socat_, nullptr, 0);
        }
        if (!dir_.empty()) {
            std::error_code ignored;
            fs::remove_all(dir_, ignored);
        }
    }

    std::u16string portPath(const char* name = "COM3") const { return toWide((dir_ / name).string()); }

    SerialPort openPort(const std::u16string& bitRate = u"9600") {
        std::optional<SerialPort> port = openSerialPort(serialSettings(portPath(), bitRate));
        if (!port) {
            throw std::runtime_error("the pty did not open as a serial port");
        }
        return std::move(*port);
    }

    // Stops or resumes the forwarding between the two ptys.
    void holdLine(bool hold) { ASSERT_EQ(::kill(socat_, hold ? SIGSTOP : SIGCONT), 0); }

    void writeOnPeer(const std::vector<std::uint8_t>& bytes) {
        std::size_t done = 0;
        for (int attempt = 0; done < bytes.size() && attempt < kPatience; ++attempt) {
            const ssize_t written = ::write(peer_, bytes.data() + done, bytes.size() - done);
            if (written > 0) {
                done += static_cast<std::size_t>(written);
            } else {
                waitAMoment();
            }
        }
        ASSERT_EQ(done, bytes.size());
    }

    // Appends what the peer has received so far.
    void drainPeer(std::vector<std::uint8_t>& received) {
        std::uint8_t chunk[4096];
        for (;;) {
            const ssize_t got = ::read(peer_, chunk, sizeof chunk);
            if (got <= 0) {
                return;
            }
            received.insert(received.end(), chunk, chunk + got);
        }
    }

    std::vector<std::uint8_t> readOnPeer(std::size_t count) {
        std::vector<std::uint8_t> received;
        for (int attempt = 0; received.size() < count && attempt < kPatience; ++attempt) {
            drainPeer(received);
            if (received.size() < count) {
                waitAMoment();
            }
        }
        return received;
    }

    struct Collected {
        std::vector<std::uint8_t> bytes;
        std::size_t reads = 0;
        std::size_t largestRead = 0;
        std::uint32_t statuses = 0;  // all status words of the reads that delivered, ORed
    };

    // Reads the port with a buffer of the given size until count bytes have come.
    static Collected readOnPort(SerialPort& port, std::size_t count, std::size_t bufferSize) {
        Collected collected;
        std::vector<std::uint8_t> buffer(bufferSize);
        for (int attempt = 0; collected.bytes.size() < count && attempt < kPatience; ++attempt) {
            std::uint32_t status = 0xFFFFFFFF;
            SocketAddress sender;
            const std::size_t got = port.read(buffer, status, sender);
            if (got == 0) {
                waitAMoment();
                continue;
            }
            collected.bytes.insert(collected.bytes.end(), buffer.begin(),
                                   buffer.begin() + static_cast<std::ptrdiff_t>(got));
            collected.statuses |= status;
            ++collected.reads;
            collected.largestRead = std::max(collected.largestRead, got);
        }
        return collected;
    }

    // Lets the line carry the frames in flight while the peer takes them; finished tells
    // whether the port reported the completion, received what the peer got.
    struct Delivery {
        bool finished = false;
        std::vector<std::uint8_t> received;
    };
    Delivery deliver(SerialPort& port, std::size_t expectedBytes) {
        Delivery delivery;
        for (int attempt = 0; !delivery.finished && attempt < kPatience; ++attempt) {
            drainPeer(delivery.received);
            delivery.finished = port.writeFinished();
            if (!delivery.finished) {
                waitAMoment();
            }
        }
        const std::size_t missing = expectedBytes - std::min(expectedBytes, delivery.received.size());
        const std::vector<std::uint8_t> rest = readOnPeer(missing);
        delivery.received.insert(delivery.received.end(), rest.begin(), rest.end());
        return delivery;
    }

    static bool waitForWriteFinished(SerialPort& port) {
        for (int attempt = 0; attempt < kPatience; ++attempt) {
            if (port.writeFinished()) {
                return true;
            }
            waitAMoment();
        }
        return false;
    }

    fs::path dir_;
    int peer_ = -1;
    pid_t socat_ = -1;

private:
    void startSocat() {
        const std::string first = "pty,raw,echo=0,link=" + (dir_ / "COM3").string();
        const std::string second = "pty,raw,echo=0,link=" + (dir_ / "peer").string();
        std::string program = "socat";
        std::string quiet = "-d";
        char* const argv[] = {program.data(),
                              quiet.data(),
                              quiet.data(),
                              const_cast<char*>(first.c_str()),
                              const_cast<char*>(second.c_str()),
                              nullptr};
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const int spawned = ::posix_spawnp(&socat_, "socat", &actions, nullptr, argv, environ);
        ::posix_spawn_file_actions_destroy(&actions);
        ASSERT_EQ(spawned, 0) << "socat did not start";
        for (int attempt = 0; attempt < kPatience; ++attempt) {
            if (fs::exists(dir_ / "COM3") && fs::exists(dir_ / "peer")) {
                return;
            }
            if (::waitpid(socat_, nullptr, WNOHANG) == socat_) {
                socat_ = -1;
                FAIL() << "socat ended before making the pty pair";
            }
            waitAMoment();
        }
        FAIL() << "socat made no pty pair";
    }
};

// A pty keeps no line-error counters: the status of every read is overwritten with 0.
TEST_F(SerialPtyTest, ReadTakesTheQueuedBytesInOrderWithNoLineErrorsAndNothingWhenNoneCame) {
    SerialPort port = openPort();
    std::vector<std::uint8_t> buffer(kMaxFrameLength);
    std::uint32_t status = 0;
    SocketAddress sender;
    EXPECT_EQ(port.read(buffer, status, sender), 0u);

    const std::vector<std::uint8_t> sent = pattern(2000, 1);
    writeOnPeer(sent);
    const Collected collected = readOnPort(port, sent.size(), kMaxFrameLength);
    EXPECT_EQ(collected.bytes, sent);
    EXPECT_EQ(collected.statuses, 0u);
    // The line delivers in a handful of chunks; a read that took less than was queued would
    // need far more calls.
    EXPECT_LT(collected.reads, 20u);
}

// Linux queues at most 4095 bytes per line, so with a large buffer 20000 bytes take several
// reads; none may lose, repeat or reorder bytes, nor fill more than the buffer holds.
TEST_F(SerialPtyTest, ReadsDeliverEverythingInOrderAndNeverMoreThanTheBufferHolds) {
    struct Case {
        std::size_t sent;
        std::size_t bufferSize;
        std::size_t limit;
    };
    const Case cases[] = {{20000, 20000, kMaxFrameLength}, {100, 7, 7}};
    std::uint8_t seed = 3;
    for (const Case& c : cases) {
        SerialPort port = openPort();
        const std::vector<std::uint8_t> sent = pattern(c.sent, seed++);
        writeOnPeer(sent);
        const Collected collected = readOnPort(port, sent.size(), c.bufferSize);
        EXPECT_EQ(collected.bytes, sent) << c.sent << " bytes sent";
        EXPECT_LE(collected.largestRead, c.limit) << c.sent << " bytes sent";
    }
}

TEST_F(SerialPtyTest, FrameReachesThePeerAndItsCompletionIsConsumedOnce) {
    SerialPort port = openPort();
    SocketAddress destination;
    // Free before the first write; the test that says so consumes it.
    EXPECT_TRUE(port.writeFinished());
    EXPECT_FALSE(port.writeFinished());

    const std::vector<std::uint8_t> frame = pattern(1000, 5);
    port.write(frame, destination);
    ASSERT_TRUE(waitForWriteFinished(port));
    EXPECT_FALSE(port.writeFinished());
    EXPECT_EQ(readOnPeer(frame.size()), frame);

    // A frame without bytes completes as well.
    port.write({}, destination);
    EXPECT_TRUE(waitForWriteFinished(port));
}

TEST_F(SerialPtyTest, FramesSentOneAfterTheOtherArriveInOrder) {
    SerialPort port = openPort();
    SocketAddress destination;
    const std::vector<std::uint8_t> first = pattern(300, 11);
    const std::vector<std::uint8_t> second = pattern(kMaxFrameLength, 12);
    ASSERT_TRUE(port.writeFinished());
    port.write(first, destination);
    ASSERT_TRUE(waitForWriteFinished(port));
    port.write(second, destination);

    std::vector<std::uint8_t> expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    const Delivery delivery = deliver(port, expected.size());
    EXPECT_TRUE(delivery.finished);
    EXPECT_TRUE(delivery.received == expected) << delivery.received.size() << " bytes arrived";
}

TEST_F(SerialPtyTest, FrameHeldUpOnTheLineKeepsThePortBusyUntilItHasLeft) {
    SerialPort port = openPort();
    SocketAddress destination;
    ASSERT_TRUE(port.writeFinished());
    holdLine(true);

    // The line takes some frames into its buffers, then one cannot leave completely.
    std::vector<std::uint8_t> expected;
    bool busy = false;
    for (std::uint8_t frameNumber = 0; !busy && frameNumber < 40; ++frameNumber) {
        const std::vector<std::uint8_t> frame = pattern(kMaxFrameLength, frameNumber);
        port.write(frame, destination);
        expected.insert(expected.end(), frame.begin(), frame.end());
        busy = !port.writeFinished();
    }
    ASSERT_TRUE(busy) << "the held line took 40 frames";

    holdLine(false);
    const Delivery delivery = deliver(port, expected.size());
    EXPECT_TRUE(delivery.finished);
    EXPECT_TRUE(delivery.received == expected)
        << delivery.received.size() << " of " << expected.size() << " bytes arrived";
}

TEST_F(SerialPtyTest, OpenAcceptsBitRatesOutsideTheStandardTable) {
    for (const std::u16string rate : {u"9600", u"921600", u"250000", u"31250"}) {
        EXPECT_TRUE(openSerialPort(serialSettings(portPath(), rate)).has_value()) << toNarrow(rate);
    }
}

TEST_F(SerialPtyTest, OpenFailsForMissingDevicesNonSerialFilesAndUnusableBitRates) {
    {
        std::FILE* file = std::fopen((dir_ / "COM5").c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fclose(file);
    }
    struct Case {
        const char* what;
        PortSettings settings;
    };
    const Case cases[] = {
        {"missing device", serialSettings(portPath("COM9"))},
        {"plain file", serialSettings(portPath("COM5"))},
        {"bit rate 0", serialSettings(portPath(), u"0")},
        {"negative bit rate", serialSettings(portPath(), u"-1")},
        {"bit rate not a number", serialSettings(portPath(), u"fast")},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(openSerialPort(c.settings).has_value()) << c.what;
    }
    // The failed opens let go of the device.
    EXPECT_TRUE(openSerialPort(serialSettings(portPath())).has_value());
}

TEST_F(SerialPtyTest, PortInUseIsNotOpenedTwice) {
    {
        const SerialPort first = openPort();
        EXPECT_FALSE(openSerialPort(serialSettings(portPath())).has_value());
    }
    EXPECT_TRUE(openSerialPort(serialSettings(portPath())).has_value());
}

}  // namespace
}  // namespace orvalix
