#include "cli/run_verdict.hpp"

#include <algorithm>
#include <cstdio>

#include "core/project/loaders.hpp"
#include "core/text/text_conversion.hpp"

namespace orvalix::cli {
namespace {

const Environment& environmentOf(const Session& session, const Expectation& expectation) {
    return session.project().environments->at(expectation.environment);
}

ExpectationOutcome judgeNow(const Session& session, const Expectation& expectation, bool until) {
    const std::optional<EnvironmentCoverage> coverage = session.coverage(expectation.environment);
    return judge(expectation, until, environmentOf(session, expectation), coverage ? &*coverage : nullptr);
}

}  // namespace

RunExpectationsParse parseRunExpectations(const Session& session, std::span<const std::string> expectTexts,
                                          std::span<const std::string> untilTexts) {
    RunExpectationsParse parse;
    const auto read = [&](std::span<const std::string> texts, std::vector<Expectation>& into, const char* option) {
        for (const std::string& text : texts) {
            ExpectationParse one =
                parseExpectation(text, *session.project().environments, session.usableEnvironments());
            if (!one.expectation) {
                parse.error = std::string(option) + " " + one.error;
                return false;
            }
            into.push_back(std::move(*one.expectation));
        }
        return true;
    };
    if (read(expectTexts, parse.expectations.expect, "--expect")) {
        read(untilTexts, parse.expectations.until, "--until");
    }
    return parse;
}

bool untilsHold(const Session& session, const RunExpectations& expectations) {
    return !expectations.until.empty() &&
           std::ranges::all_of(expectations.until, [&session](const Expectation& expectation) {
               return judgeNow(session, expectation, true).passed;
           });
}

std::string isoUtcTime(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto milliseconds = floor<std::chrono::milliseconds>(time);
    const auto day = floor<days>(milliseconds);
    const year_month_day date(day);
    const hh_mm_ss clock(milliseconds - day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return text;
}

RunReport collectRunReport(const Session& session, const RunExpectations& expectations, const std::string& error) {
    RunReport report;
    report.folder = toNarrow(session.project().dataFolder);
    report.error = error;
    for (const std::u16string& name : session.usableEnvironments()) {
        const Environment& environment = session.project().environments->at(name);
        const EnvironmentCoverage coverage = session.coverage(name).value_or(EnvironmentCoverage{});
        report.environments.push_back(environmentReport(
            name, environment, coverage, sequenceFileRows(session.project().dataFolder, name)));
        report.environments.back().replies = session.replyTimes(name);
    }
    for (const Expectation& expectation : expectations.expect) {
        report.expectations.push_back(judgeNow(session, expectation, false));
    }
    for (const Expectation& expectation : expectations.until) {
        report.expectations.push_back(judgeNow(session, expectation, true));
    }
    return report;
}

}  // namespace orvalix::cli
