#pragma once

#include <string>

#include "core/verdict/run_report.hpp"

namespace orvalix {

// The run as JUnit XML: a testsuite "run" with the testcase "ran without error", then a
// testsuite per environment with a testcase per expectation on it.
std::string junitXml(const RunReport& report);

}  // namespace orvalix
