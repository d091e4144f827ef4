#include "core/platform/file_names.hpp"

namespace orvalix::platform {

bool fileNamesIgnoreCase() { return true; }

}  // namespace orvalix::platform
