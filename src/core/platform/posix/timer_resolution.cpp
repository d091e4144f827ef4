#include "core/platform/timer_resolution.hpp"

namespace orvalix::platform {

void keepTimerResolutionWhenHidden() {}

}  // namespace orvalix::platform
