#include "core/platform/sockets_startup.hpp"

namespace orvalix::platform {

// POSIX sockets need no library start-up.
SocketsStartup::SocketsStartup() : started_(true) {}

SocketsStartup::~SocketsStartup() = default;

}  // namespace orvalix::platform
