#pragma once

namespace orvalix::platform {

// Asks the system to give the calling thread a processor as soon as one of its waits ends,
// ahead of busy threads of the same priority, for a thread that works briefly each time it
// wakes. Its share of the processor stays what it was. Linux 6.12 and later do so when the
// thread asks for a short time slice: a busy thread that has just begun its own slice is then
// interrupted at once, rather than at the next scheduler tick (up to 4 ms later at 250 Hz).
// Older kernels and Windows, which has no such request short of a raised priority, run the
// thread as before.
void requestPromptWakeups();

}  // namespace orvalix::platform
