#include "core/platform/device_files.hpp"

namespace orvalix::platform {

std::u16string serialDevicePath(std::u16string_view portName) { return u"\\\\.\\" + std::u16string(portName); }

bool isDevicePath(std::u16string_view /*portName*/) { return false; }

DeviceNode deviceNodeAt(std::u16string_view /*path*/) { return DeviceNode::Unknown; }

}  // namespace orvalix::platform
