#pragma once

#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/session/session.hpp"
#include "core/verdict/run_report.hpp"

namespace orvalix::cli {

// The run's --expect and --until expectations, read against the folder the session opened.
struct RunExpectations {
    std::vector<Expectation> expect;
    std::vector<Expectation> until;
};

// The expectations, or the first text that is not one, with why.
struct RunExpectationsParse {
    RunExpectations expectations;
    std::string error;  // empty when every text was read
};
RunExpectationsParse parseRunExpectations(const Session& session, std::span<const std::string> expectTexts,
                                          std::span<const std::string> untilTexts);

// Every --until holds by the counts published so far (false when there is none).
bool untilsHold(const Session& session, const RunExpectations& expectations);

// "2026-12-07T07:41:03.250Z"
std::string isoUtcTime(std::chrono::system_clock::time_point time);

// What the ended run did: coverage of every served environment and the judged expectations.
// exitStatus and the times are the caller's to fill in.
RunReport collectRunReport(const Session& session, const RunExpectations& expectations, const std::string& error);

}  // namespace orvalix::cli
