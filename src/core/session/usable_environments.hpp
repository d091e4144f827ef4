#pragma once

#include <string>
#include <vector>

#include "core/project/project.hpp"

namespace orvalix {

// The names of the usable environments in map order. Position k is "environment k" for the
// menu's show command, and streams, windows and the pump all walk this same list.
std::vector<std::u16string> usableEnvironmentNames(const EnvironmentMap& environments);

}  // namespace orvalix
