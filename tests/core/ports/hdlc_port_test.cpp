#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/expression/byte_buffer.hpp"
#include "core/platform/dynamic_library.hpp"
#include "core/platform/module_path.hpp"
#include "core/ports/hdlc_library.hpp"
#include "core/ports/port.hpp"
#include "port_test_support.hpp"

namespace orvalix {
namespace {

std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

// The virtual board library is copied beside this test, where the program looks first.
class VirtualBoardTest : public testing::Test {
protected:
    OpenPort openBoard(const std::u16string& name) {
        auto port = openPort(test::settingsOf({name}), context_);
        if (!port) {
            throw std::runtime_error("board did not open");
        }
        return std::move(*port);
    }

    std::vector<std::uint8_t> readOnce(OpenPort& port) {
        std::uint32_t status = 0x55;
        SocketAddress sender;
        const std::size_t count = port.read(buffer_, status, sender);
        EXPECT_EQ(status, 0x55U) << "a board read leaves the status alone";
        return {buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(count)};
    }

    PortContext context_;
    std::array<std::uint8_t, kMaxFrameLength> buffer_{};
};

TEST_F(VirtualBoardTest, FrameSentOnOneEndIsReceivedOnTheOther) {
    OpenPort first = openBoard(u"FBIHDLC0");
    OpenPort second = openBoard(u"FBIHDLC1");
    EXPECT_EQ(first.kind(), PortKind::HdlcBoard);
    ASSERT_TRUE(context_.hdlcLibrary);
    EXPECT_TRUE(context_.hdlcLibrary->loaded());

    first.write(bytesOf("to second"), SocketAddress{});
    second.write(bytesOf("to first"), SocketAddress{});
    EXPECT_EQ(readOnce(second), bytesOf("to second"));
    EXPECT_EQ(readOnce(first), bytesOf("to first"));
    EXPECT_TRUE(readOnce(first).empty());
    EXPECT_TRUE(readOnce(second).empty());
}

TEST_F(VirtualBoardTest, FrameLoopsBackWhileTheOtherEndIsClosed) {
    OpenPort five = openBoard(u"FBIHDLC5");
    OpenPort six = openBoard(u"FBIHDLC6");  // the other end of 7, not of 5
    five.write(bytesOf("echo"), SocketAddress{});
    EXPECT_EQ(readOnce(five), bytesOf("echo"));
    EXPECT_TRUE(readOnce(six).empty());
}

TEST_F(VirtualBoardTest, EachReadTakesOneFrameInOrder) {
    OpenPort board = openBoard(u"FBIHDLC10");
    const std::vector<std::vector<std::uint8_t>> frames{bytesOf("first"), bytesOf("2"),
                                                        bytesOf("third frame")};
    for (const auto& frame : frames) {
        board.write(frame, SocketAddress{});
    }
    for (const auto& frame : frames) {
        EXPECT_EQ(readOnce(board), frame);
    }
    EXPECT_TRUE(readOnce(board).empty());
}

TEST_F(VirtualBoardTest, EverySendSignalsItsCompletion) {
    OpenPort board = openBoard(u"FBIHDLC12");
    EXPECT_TRUE(board.writeFinished());   // no send yet
    EXPECT_FALSE(board.writeFinished());  // taking the completion resets it
    for (int frame = 0; frame < 3; ++frame) {
        board.write(bytesOf("x"), SocketAddress{});
        EXPECT_TRUE(board.writeFinished()) << frame;
        EXPECT_FALSE(board.writeFinished()) << frame;
    }
}

TEST_F(VirtualBoardTest, ClosingABoardDropsItsQueueAndFreesTheName) {
    {
        OpenPort board = openBoard(u"FBIHDLC14");
        board.write(bytesOf("left behind"), SocketAddress{});
        EXPECT_FALSE(openPort(test::settingsOf({u"FBIHDLC14"}), context_)) << "already open";
    }
    OpenPort reopened = openBoard(u"FBIHDLC14");
    EXPECT_TRUE(readOnce(reopened).empty());
}

TEST_F(VirtualBoardTest, LongestFrameArrivesWhole) {
    OpenPort board = openBoard(u"FBIHDLC16");
    std::vector<std::uint8_t> longest(kMaxFrameLength);
    for (std::size_t i = 0; i < longest.size(); ++i) {
        longest[i] = static_cast<std::uint8_t>(i * 13);
    }
    board.write(longest, SocketAddress{});
    EXPECT_EQ(readOnce(board), longest);
}

struct BoardNameCase {
    std::string_view name;
    bool opens;
};

const BoardNameCase kBoardNames[] = {
    {"FBIHDLC20", true},  {"FBIHDLC021", true},  // a decimal number, leading zeros allowed
    {"FBIHDLC", false},   {"FBIHDLC-1", false},  {"FBIHDLC+1", false},          {"FBIHDLC2x", false},
    {"fbihdlc22", false}, {"FBIHDLC 23", false}, {"FBIHDLC99999999999", false}, {"COM3", false},
};

TEST(VirtualBoardNames, OnlyFbihdlcFollowedByADecimalNumberOpens) {
    HdlcLibrary library;
    for (const auto& c : kBoardNames) {
        HdlcSettings settings{};
        const std::int32_t handle = library.open(c.name, settings);
        EXPECT_EQ(handle != -1, c.opens) << c.name;
        if (handle != -1) {
            library.close(handle);
        }
    }
}

std::filesystem::path scratchFolder(const std::string& name) {
    const auto folder = std::filesystem::temp_directory_path() / ("orvalix-ports-" + name);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

TEST(HdlcLibraryLoading, MissingLibraryFailsEveryOpenAndIsNotLookedForAgain) {
    const auto folder = scratchFolder("missing");
    const auto candidate = folder / platform::sharedLibraryFileName("FbiHdlc");
    auto library = std::make_shared<HdlcLibrary>(std::vector{candidate});
    PortContext context{library, false};

    EXPECT_FALSE(openPort(test::settingsOf({u"FBIHDLC0"}), context));
    EXPECT_TRUE(library->loadAttempted());
    EXPECT_FALSE(library->loaded());

    // The library appears later; the process keeps its first answer.
    const auto built = platform::executableFolder() / platform::sharedLibraryFileName("FbiHdlc");
    std::filesystem::copy_file(built, candidate);
    EXPECT_FALSE(openPort(test::settingsOf({u"FBIHDLC0"}), context));
    EXPECT_FALSE(library->loaded());
    EXPECT_EQ(context.hdlcLibrary, library);

    {
        HdlcLibrary fresh(std::vector{candidate});
        HdlcSettings settings{};
        const std::int32_t handle = fresh.open("FBIHDLC30", settings);
        EXPECT_NE(handle, -1) << "a fresh loader finds the library now";
        fresh.close(handle);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

TEST(HdlcLibraryLoading, FirstCandidateThatLoadsIsUsed) {
    const auto folder = scratchFolder("candidates");
    const auto built = platform::executableFolder() / platform::sharedLibraryFileName("FbiHdlc");
    HdlcLibrary library(std::vector{folder / "absent-library", built});
    HdlcSettings settings{};
    const std::int32_t handle = library.open("FBIHDLC32", settings);
    EXPECT_TRUE(library.loaded());
    EXPECT_EQ(handle, 32);
    library.close(handle);
}

struct ReportedLengthCase {
    std::int32_t reported;
    std::size_t read;
};

const ReportedLengthCase kReportedLengths[] = {
    {0, 0}, {1, 1}, {16384, 16384}, {16385, 16384}, {20000, 16384}, {-1, 0}, {-5, 0}, {INT32_MIN, 0},
};

TEST(HdlcLibraryReceive, ReportedLengthIsClampedToTheBufferAndNegativeReadsZero) {
    HdlcLibrary library(std::vector{platform::executableFolder() / ORVALIX_MISREPORTING_HDLC_NAME});
    std::vector<std::uint8_t> buffer(kMaxFrameLength);
    for (const auto& c : kReportedLengths) {
        // This library reports the handle as the frame length.
        EXPECT_EQ(library.receiveFrame(c.reported, buffer), c.read) << c.reported;
    }
    ASSERT_TRUE(library.loaded());
    std::vector<std::uint8_t> tooSmall(kMaxFrameLength - 1);
    EXPECT_EQ(library.receiveFrame(100, tooSmall), 0U)
        << "a buffer the library could overrun is never passed";
}

}  // namespace
}  // namespace orvalix
