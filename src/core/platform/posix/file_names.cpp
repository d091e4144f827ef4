#include "core/platform/file_names.hpp"

namespace orvalix::platform {

bool fileNamesIgnoreCase() { return false; }

}  // namespace orvalix::platform
