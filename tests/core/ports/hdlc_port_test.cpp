#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "../project/temp_folder.hpp"
#include "core/bytes/byte_buffer.hpp"
#include "core/platform/dynamic_library.hpp"
#include "core/platform/module_path.hpp"
#include "core/ports/hdlc_library.hpp"
#include "core/ports/hdlc_settings.hpp"
#include "core/ports/port.hpp"
#include "core/text/text_conversion.hpp"
#include "port_test_support.hpp"

namespace orvalix {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::bytesOf;

// The virtual board library is copied beside this test, where the program looks first.
class VirtualBoardTest : public testing::Test {
protected:
    OpenPort openBoard(const std::u16string& name) {
        return openPort(test::settingsOf({name}), context_).opened.value();
    }

    Bytes readOnce(OpenPort& port) {
        std::uint32_t status = 0x55;
        SocketAddress sender;
        const std::size_t count = port.read(buffer_, status, sender);
        EXPECT_EQ(status, 0x55U) << "a board read leaves the status alone";
        return {buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(count)};
    }

    PortContext context_;
    std::array<std::uint8_t, kMaxFrameLength> buffer_{};
};

// Boards 2n and 2n + 1 are wired to each other.
TEST_F(VirtualBoardTest, FramesLoopBackWhileThePairedEndIsClosedAndCrossOnceItIsOpenOnePerRead) {
    OpenPort first = openBoard(u"FBIHDLC0");
    EXPECT_EQ(first.kind(), PortKind::HdlcBoard);
    first.write(bytesOf("echo"), SocketAddress{});
    EXPECT_EQ(readOnce(first), bytesOf("echo"));
    OpenPort second = openBoard(u"FBIHDLC1");
    const std::vector<Bytes> frames{bytesOf("first"), bytesOf("2"), test::pattern(kMaxFrameLength, 13)};
    for (const Bytes& frame : frames) first.write(frame, SocketAddress{});
    second.write(bytesOf("to first"), SocketAddress{});
    for (const Bytes& frame : frames) EXPECT_EQ(readOnce(second), frame);
    EXPECT_EQ(readOnce(first), bytesOf("to first"));
    EXPECT_TRUE(readOnce(first).empty() && readOnce(second).empty());
}

TEST_F(VirtualBoardTest, EachSendCompletesOnceAndClosingDropsTheQueueAndFreesTheName) {
    {
        OpenPort board = openBoard(u"FBIHDLC14");
        EXPECT_TRUE(board.writeFinished()) << "no send yet";
        for (const Bytes& frame : {bytesOf("left behind"), Bytes{}}) {
            EXPECT_FALSE(board.writeFinished()) << "taking the completion resets it";
            board.write(frame, SocketAddress{});
            EXPECT_TRUE(board.writeFinished());
        }
        EXPECT_FALSE(openPort(test::settingsOf({u"FBIHDLC14"}), context_).opened) << "already open";
    }
    OpenPort reopened = openBoard(u"FBIHDLC14");
    EXPECT_TRUE(readOnce(reopened).empty());
}

TEST_F(VirtualBoardTest, OnlyFbihdlcFollowedByADecimalNumberOpens) {
    const std::pair<std::u16string, bool> cases[] = {
        // clang-format off
        {u"FBIHDLC20", true}, {u"FBIHDLC021", true}, {u"FBIHDLC", false}, {u"FBIHDLC-1", false},
        {u"FBIHDLC+1", false}, {u"FBIHDLC2x", false}, {u"FBIHDLC 23", false}, {u"FBIHDLC99999999999", false},
        // clang-format on
    };
    for (const auto& [name, opens] : cases) {
        EXPECT_EQ(openPort(test::settingsOf({name}), context_).opened.has_value(), opens) << toNarrow(name);
    }
}

TEST(HdlcLibraryLoading, FirstCandidateThatLoadsIsUsedAndAMissingOneIsNotLookedForAgain) {
    const test::TempFolder folder;
    const fs::path candidate = folder.path() / platform::sharedLibraryFileName("FbiHdlc");
    auto library = std::make_shared<HdlcLibrary>(std::vector{candidate});
    PortContext context{library, Language::English};
    EXPECT_FALSE(openPort(test::settingsOf({u"FBIHDLC0"}), context).opened);
    EXPECT_TRUE(library->loadAttempted());

    // The library appears later; the process keeps its first answer, a new loader finds it.
    fs::copy_file(platform::executableFolder() / candidate.filename(), candidate);
    EXPECT_FALSE(openPort(test::settingsOf({u"FBIHDLC0"}), context).opened);
    EXPECT_FALSE(library->loaded());
    EXPECT_EQ(context.hdlcLibrary, library);
    HdlcLibrary fresh(std::vector{folder.path() / "absent", candidate});
    EXPECT_EQ(fresh.open("FBIHDLC32", HdlcSettingsWords{}), 32) << "the first candidate that loads";
    fresh.close(32);
}

TEST(HdlcLibraryReceive, ReportedLengthIsClampedToTheBufferAndNegativeReadsZero) {
    HdlcLibrary library(std::vector{platform::executableFolder() / ORVALIX_MISREPORTING_HDLC_NAME});
    const std::pair<std::int32_t, std::size_t> cases[] = {
        {0, 0}, {1, 1}, {16384, 16384}, {16385, 16384}, {20000, 16384}, {-1, 0}, {INT32_MIN, 0}};
    Bytes buffer(kMaxFrameLength);
    // This library reports the handle as the frame length.
    for (const auto& [length, kept] : cases) EXPECT_EQ(library.receiveFrame(length, buffer), kept) << length;
    ASSERT_TRUE(library.loaded());
    Bytes tooSmall(kMaxFrameLength - 1);
    EXPECT_EQ(library.receiveFrame(100, tooSmall), 0U)
        << "a buffer the library could overrun is never passed";
}

using Words = std::map<std::size_t, std::uint32_t>;

// Each case: the settings from 9 on (bit rate, 5 keywords, parameter) and the words that
// differ from 9600 bit/s with every keyword at its default (NRZI, 16-bit check, full duplex,
// flag idle, RS-232C). 9600 divides 36.864 MHz: clock code 5 in word 19.
TEST(MakeHdlcSettings, WordsFollowTheSettings) {
    const Words kDefault{{17, 1}, {18, 2}, {19, 5}, {20, 9600}};
    const std::tuple<const char*, std::vector<std::u16string>, Words> cases[] = {
        // clang-format off
        {"all keywords empty", {u"9600"}, {}},
        {"1000000 divides only 32 MHz: clock code 3", {u"1000000"}, {{19, 3}, {20, 1000000}}},
        {"a bit rate not a number is 0: words 17 and 18 swap", {u"fast"}, {{17, 2}, {18, 1}, {20, 0}}},
        {"a negative bit rate keeps its bits", {u"-9600"}, {{20, 0xFFFFDA80}}},
        {"mark idle with half duplex", {u"9600", u"", u"", u"半二重", u"マーク"}, {{16, 0x10001}}},
        {"every non-default keyword", {u"9600", u"NRZ", u"ITU-T(旧CCITT)32bit", u"半二重", u"マーク", u"RS-485",
         u"0x20"}, {{0, 1}, {1, 1}, {16, 0x10001}, {21, 1}, {23, 0x20}}},
        {"the named defaults", {u"9600", u"NRZI", u"ITU-T(旧CCITT)16bit", u"全二重", u"フラグ", u"RS-232C"}, {}},
        {"keywords match whole and case-sensitive", {u"9600", u"nrz", u"ITU-T(旧CCITT)32bit ", u"", u"",
         u"RS485"}, {}},
        // clang-format on
    };
    for (const auto& [rule, settings, changed] : cases) {
        // Settings 1 to 8 are capacities, irrelevant here.
        std::vector<std::u16string> values{u"FBIHDLC0", u"", u"", u"", u"", u"", u"", u"", u""};
        values.insert(values.end(), settings.begin(), settings.end());
        HdlcSettingsWords expected{};
        for (const auto& [index, value] : kDefault) expected[index] = value;
        for (const auto& [index, value] : changed) expected[index] = value;
        EXPECT_EQ(makeHdlcSettings(std::get<HdlcOptions>(test::settingsOf(values).kind)), expected) << rule;
    }
}

// Remainders of 32 MHz against 36.864 MHz: 3200 against 0 for 9600, equal for -1 and 1,
// 4 against 5 for 7, 0 against 114000 for 125000, 89600 against 0 for 115200, 32000000
// against 36864000 for 40000000; 0 has none.
TEST(HdlcClockCode, SmallerRemainderOf32MHzGivesThreeTiesGiveFive) {
    const std::pair<std::int32_t, std::uint32_t> cases[] = {
        {9600, 5}, {0, 5}, {-1, 5}, {1, 5}, {7, 3}, {125000, 3}, {115200, 5}, {40000000, 3}};
    for (const auto& [bitRate, code] : cases) EXPECT_EQ(hdlcClockCode(bitRate), code) << bitRate;
}

}  // namespace
}  // namespace orvalix
