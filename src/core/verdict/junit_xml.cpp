#include "core/verdict/junit_xml.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "core/text/utf8_sequence.hpp"
#include "core/text/text_conversion.hpp"

namespace orvalix {
namespace {

// XML 1.0 takes no control characters but tab and line breaks, and no bytes that are not UTF-8:
// both become U+FFFD, so a CI server's parser never rejects the file.
std::string xmlText(std::string_view text) {
    std::string out;
    while (!text.empty()) {
        const auto byte = static_cast<std::uint8_t>(text.front());
        const std::size_t length = utf8SequenceLength(text);
        if (length == 0 || (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r')) {
            out += kReplacementCharacter;
            text.remove_prefix(1);
            continue;
        }
        switch (text.front()) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\n': out += "&#10;"; break;
            case '\r': out += "&#13;"; break;
            case '\t': out += "&#9;"; break;
            default: out += text.substr(0, length);
        }
        text.remove_prefix(length);
    }
    return out;
}

struct Case {
    std::string name;
    std::string failure;  // empty when it passed
};

std::size_t failuresIn(const std::vector<Case>& cases) {
    return static_cast<std::size_t>(std::ranges::count_if(cases, [](const Case& c) { return !c.failure.empty(); }));
}

void writeSuite(std::string& out, std::string_view name, const std::vector<Case>& cases) {
    const std::size_t failures = failuresIn(cases);
    out += "  <testsuite name=\"" + xmlText(name) + "\" tests=\"" + std::to_string(cases.size()) +
           "\" failures=\"" + std::to_string(failures) + "\" errors=\"0\" skipped=\"0\">\n";
    for (const Case& c : cases) {
        out += "    <testcase classname=\"orvalix." + xmlText(name) + "\" name=\"" + xmlText(c.name) + "\"";
        if (c.failure.empty()) {
            out += "/>\n";
        } else {
            const std::string failure = xmlText(c.failure);
            out += ">\n      <failure message=\"" + failure + "\">" + failure + "</failure>\n    </testcase>\n";
        }
    }
    out += "  </testsuite>\n";
}

}  // namespace

std::string junitXml(const RunReport& report) {
    std::vector<std::pair<std::string, std::vector<Case>>> suites;
    suites.push_back({"run", {{"ran without error", report.error}}});
    for (const EnvironmentReport& environment : report.environments) {
        std::vector<Case> cases;
        for (const ExpectationOutcome& outcome : report.expectations) {
            if (toNarrow(outcome.expectation.environment) != environment.name) {
                continue;
            }
            const std::string failure = outcome.passed ? std::string{}
                                                       : "expected " + expectedText(outcome.expectation) +
                                                             ", got " + std::to_string(outcome.got);
            cases.push_back({(outcome.until ? "until " : "") + outcome.expectation.text, failure});
        }
        suites.push_back({environment.name, std::move(cases)});
    }
    std::size_t tests = 0;
    std::size_t failures = 0;
    for (const auto& [name, cases] : suites) {
        tests += cases.size();
        failures += failuresIn(cases);
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", report.seconds);
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<testsuites name=\"" + xmlText("orvalix-cli run " + report.folder) + "\" tests=\"" +
           std::to_string(tests) + "\" failures=\"" + std::to_string(failures) + "\" errors=\"0\" time=\"" + seconds +
           "\">\n";
    for (const auto& [name, cases] : suites) {
        writeSuite(out, name, cases);
    }
    out += "</testsuites>\n";
    return out;
}

}  // namespace orvalix
