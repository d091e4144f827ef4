#include <iostream>

#include "cli/commands.hpp"
#include "core/platform/command_line.hpp"
#include "core/platform/sockets_startup.hpp"

int main(int argc, char** argv) {
    orvalix::platform::useUtf8Console();
    const orvalix::platform::SocketsStartup sockets;
    const auto arguments = orvalix::platform::commandLineArguments(argc, argv);
    return orvalix::cli::runCommandLine(arguments, {std::cout, std::cerr});
}
