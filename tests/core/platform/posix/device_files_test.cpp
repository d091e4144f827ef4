#include "core/platform/device_files.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "../../project/temp_folder.hpp"
#include "core/text/text_conversion.hpp"

namespace orvalix::platform {
namespace {

TEST(SerialDevicePath, ANameWithASlashIsAPathAnyOtherNameLivesInDev) {
    const std::tuple<std::u16string, std::u16string> cases[] = {
        {u"COM3", u"/dev/COM3"}, {u"ttyUSB0", u"/dev/ttyUSB0"}, {u"/tmp/x/COM3", u"/tmp/x/COM3"},
        {u"pts/4", u"pts/4"},    {u"/dev/pts/4", u"/dev/pts/4"}};
    for (const auto& [name, path] : cases) EXPECT_EQ(serialDevicePath(name), path) << toNarrow(name);
}

TEST(IsDevicePath, OnlyAPathBelowDevIsOne) {
    const std::tuple<std::u16string, bool> cases[] = {
        {u"/dev/ttyUSB0", true}, {u"/dev/pts/3", true}, {u"ttyUSB0", false},  {u"dev/ttyUSB0", false},
        {u"/devices/x", false},  {u"/tmp/dev/x", false}, {u" /dev/ttyS0", false}, {u"/DEV/ttyS0", false}};
    for (const auto& [name, expected] : cases) EXPECT_EQ(isDevicePath(name), expected) << toNarrow(name);
}

// Links are followed, as opening follows them.
TEST(DeviceNodeAt, TellsCharacterDevicesFromOtherFilesAndFromWhatIsNotThere) {
    const test::TempFolder folder;
    namespace fs = std::filesystem;
    folder.write(u"plain", "not a device");
    fs::create_directory(folder.file(u"folder"));
    fs::create_symlink("/dev/null", folder.file(u"null-link"));
    fs::create_symlink(folder.file(u"absent"), folder.file(u"dangling"));
    const auto in = [&](std::u16string_view name) { return folder.file(name).u16string(); };
    const std::tuple<std::u16string, DeviceNode> cases[] = {
        {u"/dev/null", DeviceNode::CharacterDevice}, {in(u"null-link"), DeviceNode::CharacterDevice},
        {in(u"plain"), DeviceNode::OtherFile},       {in(u"folder"), DeviceNode::OtherFile},
        {in(u"absent"), DeviceNode::Missing},        {in(u"dangling"), DeviceNode::Missing},
        {in(u"plain") + u"/below", DeviceNode::Missing}};
    for (const auto& [path, node] : cases) EXPECT_EQ(deviceNodeAt(path), node) << toNarrow(path);
}

}  // namespace
}  // namespace orvalix::platform
