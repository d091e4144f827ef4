#pragma once

namespace orvalix::platform {

// Asks the system to keep this process's timer resolution while its windows are minimised
// or hidden: Windows 11 otherwise lets a background process's timers run coarse, and the
// 10 ms cycle would stretch. Systems without that throttling ignore the request; nothing to
// do on POSIX.
void keepTimerResolutionWhenHidden();

}  // namespace orvalix::platform
