#include "core/capture/capture_file.hpp"

#include <gtest/gtest.h>

#include "../project/temp_folder.hpp"
#include "../traffic/traffic_test_support.hpp"
#include "core/traffic/extra_block.hpp"

namespace orvalix {
namespace {

using Bytes = std::vector<std::uint8_t>;

CaptureInterface interfaceOf(PortKind kind, std::vector<std::string> conditions = {}) {
    return {u"E", "E", "port", kind, UdpEndpoint{0x7F000001, 5020}, std::move(conditions), {"lost", "late"}};
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
        {"the fault that touched the record, last", test::makeExtra(3, 0x40020000, {0}),
         "attribute 40020000; marks: A; fault: late"},
        {"a fault number the file does not have names none", test::makeExtra(3, 0x40030000),
         "attribute 40030000"},
    };
    for (const Case& c : cases) EXPECT_EQ(recordComment(a, c.extra), c.comment) << c.rule;
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
