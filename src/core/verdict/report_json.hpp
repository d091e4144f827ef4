#pragma once

#include <string>

#include "core/verdict/run_report.hpp"

namespace orvalix {

// The run report as one JSON document (the schema is the README's "Run report").
std::string runReportJson(const RunReport& report);

}  // namespace orvalix
