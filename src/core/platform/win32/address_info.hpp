#pragma once

// What getaddrinfo and sockaddr_in need here.
#include "core/platform/win32/windows_headers.hpp"
