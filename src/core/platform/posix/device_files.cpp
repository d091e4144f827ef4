#include "core/platform/device_files.hpp"

#include <sys/stat.h>

#include <cerrno>

#include "core/text/text_conversion.hpp"

namespace orvalix::platform {
namespace {

constexpr std::u16string_view kDeviceFolder = u"/dev/";

}  // namespace

std::u16string serialDevicePath(std::u16string_view portName) {
    if (portName.find(u'/') != std::u16string_view::npos) {
        return std::u16string(portName);
    }
    return std::u16string(kDeviceFolder) + std::u16string(portName);
}

bool isDevicePath(std::u16string_view portName) { return portName.starts_with(kDeviceFolder); }

DeviceNode deviceNodeAt(std::u16string_view path) {
    struct stat status {};
    // Links are followed: socat and udev name devices by links.
    if (::stat(toNarrow(path).c_str(), &status) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? DeviceNode::Missing : DeviceNode::Unknown;
    }
    return S_ISCHR(status.st_mode) ? DeviceNode::CharacterDevice : DeviceNode::OtherFile;
}

}  // namespace orvalix::platform
