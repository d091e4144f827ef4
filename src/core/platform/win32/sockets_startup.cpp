#include "core/platform/sockets_startup.hpp"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>

namespace orvalix::platform {

SocketsStartup::SocketsStartup() {
    WSADATA data{};
    started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

SocketsStartup::~SocketsStartup() {
    if (started_) {
        ::WSACleanup();
    }
}

}  // namespace orvalix::platform
