#pragma once

namespace orvalix::platform {

// Whether the file system takes two file names that differ only in ASCII letter case for
// the same file, so that a name pattern must match without regard to case.
bool fileNamesIgnoreCase();

}  // namespace orvalix::platform
