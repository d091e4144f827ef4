#include "core/platform/prompt_wakeups.hpp"

namespace orvalix::platform {

// Windows has no slice to ask for; a raised priority would also let a long cycle hold a core
// ahead of the window's threads, which this request must not do.
void requestPromptWakeups() {}

}  // namespace orvalix::platform
