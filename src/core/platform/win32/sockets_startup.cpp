#include "core/platform/sockets_startup.hpp"

#include "core/platform/win32/windows_headers.hpp"

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
