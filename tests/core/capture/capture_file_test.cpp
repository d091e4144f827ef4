#include "core/capture/capture_file.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "../project/temp_folder.hpp"
#include "../traffic/traffic_test_support.hpp"
#include "core/traffic/extra_block.hpp"
#include "pcapng_reader.hpp"

namespace orvalix {
namespace {

using test::Bytes;

CaptureInterface interfaceOf(PortKind kind, std::vector<std::string> conditions = {}) {
    return {u"E", "E", "port", kind, UdpEndpoint{0x7F000001, 5020}, std::move(conditions)};
}

TEST(CaptureFile, TheCommentGivesTheAttributeWordAndTheNamesOfWhatRose) {
    const auto a = interfaceOf(PortKind::Udp, {"A", "B", "C"});
    struct Case {
        const char* rule;
        Bytes extra;
        std::string comment;
    };
    const Case cases[] = {
        {"the attribute in 8 hex digits alone", test::makeExtra(3, 0x80000008), "attribute 80000008"},
        {"marks by name in condition order", test::makeExtra(3, 0, {2, 0}), "attribute 00000000; marks: A, C"},
        {"triggers after the marks", test::makeExtra(3, 0x80000000, {1}, {0, 1}),
         "attribute 80000000; marks: B; triggers: A, B"},
        {"triggers alone", test::makeExtra(3, 0, {}, {2}), "attribute 00000000; triggers: C"},
    };
    for (const Case& c : cases) EXPECT_EQ(recordComment(a, c.extra), c.comment) << c.rule;
}

Bytes fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// A UDP and a serial interface; records of both, one of an environment without an interface,
// and lost records of the serial one.
TEST(CaptureFile, WritesEachInterfaceThenWhatTheTickAddedAtEachFlush) {
    test::TempFolder folder;
    const auto path = folder.file(u"キャプチャ.pcapng");  // names are Unicode
    CaptureFile capture;
    auto udp = interfaceOf(PortKind::Udp);
    auto serial = interfaceOf(PortKind::Serial);
    serial.environment = u"S";
    ASSERT_FALSE(capture.open(path, {udp, serial}));
    const auto types = [&] {
        std::vector<std::uint32_t> found;
        for (const auto& block : test::readBlocks(fileBytes(path))) found.push_back(block.type);
        return found;
    };
    EXPECT_EQ(types(), (std::vector<std::uint32_t>{0x0A0D0D0A, 1, 1})) << "the header is written at once";

    const Bytes received = test::makeExtra(0, kReceivedAttribute);
    capture.addRecord(u"S", Bytes{1, 2}, 116444736000000000ull + 10, received, {});
    capture.addRecord(u"Nowhere", Bytes{3}, 0, received, {});
    capture.addRecord(u"E", Bytes{4, 5, 6}, 0, test::makeExtra(0, 0), UdpEndpoint{0x0A000002, 502});
    capture.addLost(u"S", 2, 7, 0);
    EXPECT_EQ(types().size(), 3u) << "nothing reaches the file before the flush";
    ASSERT_FALSE(capture.flush());
    const auto blocks = test::readBlocks(fileBytes(path));
    ASSERT_EQ(types(), (std::vector<std::uint32_t>{0x0A0D0D0A, 1, 1, 6, 6, 5}));
    EXPECT_EQ(test::le32(blocks[1].body), 228u) << "UDP as IPv4";
    EXPECT_EQ(test::le32(blocks[2].body), 147u) << "serial as USER0";
    // The serial record: interface 1, time 10, its two bytes alone.
    EXPECT_EQ(Bytes(blocks[3].body.begin(), blocks[3].body.begin() + 24),
              (Bytes{1, 0, 0, 0, 0, 0, 0, 0, 10, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 2, 0, 0}));
    // The UDP record goes out from the local endpoint to the peer, behind 28 header bytes.
    EXPECT_EQ(test::le32(blocks[4].body), 0u);
    EXPECT_EQ(test::le32(std::span(blocks[4].body).subspan(12)), 31u);
    EXPECT_EQ(Bytes(blocks[4].body.begin() + 32, blocks[4].body.begin() + 40),
              (Bytes{127, 0, 0, 1, 10, 0, 0, 2}));
    EXPECT_EQ(blocks[5].options.at(0), test::textOption(1, "2 records lost before the pump took them (7 in all)"));
}

TEST(CaptureFile, AFileThatCannotBeMadeOrWrittenStopsTheCaptureWithTheSystemsReason) {
    test::TempFolder folder;
    CaptureFile capture;
    const std::error_code missing = capture.open(folder.path() / "none" / "c.pcapng", {interfaceOf(PortKind::Udp)});
    EXPECT_EQ(missing, std::errc::no_such_file_or_directory);
    EXPECT_FALSE(capture.isOpen());
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no device that is always full";
    }
    // The header is flushed at open: the open is what fails.
    EXPECT_EQ(capture.open("/dev/full", {interfaceOf(PortKind::Udp)}), std::errc::no_space_on_device);
    EXPECT_FALSE(capture.isOpen());
    capture.addRecord(u"E", Bytes{1}, 0, test::makeExtra(0, 0), {});
    EXPECT_FALSE(capture.flush()) << "a stopped capture has nothing more to tell";
}

}  // namespace
}  // namespace orvalix
