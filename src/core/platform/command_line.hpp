#pragma once

#include <string>
#include <vector>

namespace orvalix::platform {

// The program's arguments (without the program name) as UTF-8, whatever the system's
// code page: on Windows argv would lose every character outside the ANSI code page.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// Makes the console show UTF-8 output as text (Japanese names included).
void useUtf8Console();

}  // namespace orvalix::platform
