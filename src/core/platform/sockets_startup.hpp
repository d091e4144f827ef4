#pragma once

namespace orvalix::platform {

// Holds the platform's sockets library started for its lifetime (Windows Sockets 2.2;
// nothing to do on POSIX). Create one in main before any name is resolved.
class SocketsStartup {
public:
    SocketsStartup();
    ~SocketsStartup();
    SocketsStartup(const SocketsStartup&) = delete;
    SocketsStartup& operator=(const SocketsStartup&) = delete;
    bool started() const { return started_; }

private:
    bool started_ = false;
};

}  // namespace orvalix::platform
