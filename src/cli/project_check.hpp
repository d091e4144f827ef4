#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvalix::cli {

// Info is no finding: it tells what check learned, such as the device a serial port opens.
enum class Severity { Error, Warning, Info };

// One thing the loaders accept silently but a user most likely did not mean.
// Row and column are 1-based; 0 when the finding concerns the whole file.
struct Finding {
    std::string file;  // UTF-8 path
    std::size_t row = 0;
    std::size_t column = 0;
    Severity severity = Severity::Warning;
    std::string message;
};

struct CheckSummary {
    std::size_t environments = 0;
    std::size_t steps = 0;
    std::size_t namedConditions = 0;
    std::size_t frames = 0;
};

struct CheckReport {
    std::vector<Finding> findings;  // ordered by file, row and column
    std::vector<Finding> notes;     // of severity Info: one per serial port, in environment order
    CheckSummary summary;
};

// Examines a data folder the way the loaders read it, without changing what they load.
CheckReport checkDataFolder(std::u16string_view dataFolder);

// "file:row:column: severity: message"
std::string formatFinding(const Finding& finding);

}  // namespace orvalix::cli
