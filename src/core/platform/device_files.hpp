#pragma once

#include <string>
#include <string_view>

namespace orvalix::platform {

// The file that opening a serial port of this name opens. POSIX: a name with a "/" is a path
// already, any other name a device under /dev. Windows: the name under \\.\, so that COM10
// and above open as well as COM1.
std::u16string serialDevicePath(std::u16string_view portName);

// Whether the name is written as a path into the system's folder of devices (/dev/ on POSIX).
// Windows opens devices by their names alone: no name is.
bool isDevicePath(std::u16string_view portName);

// What a path names, as far as the system tells without opening it.
enum class DeviceNode { CharacterDevice, OtherFile, Missing, Unknown };

// Windows tells nothing of device names without opening them: always Unknown there.
DeviceNode deviceNodeAt(std::u16string_view path);

}  // namespace orvalix::platform
