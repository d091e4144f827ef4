#include "core/platform/command_line.hpp"

namespace orvalix::platform {

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void useUtf8Console() {}

}  // namespace orvalix::platform
