// Expectations as a test rig writes them on the command line, and how a run is judged by them.

#include "core/verdict/expectation.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../service/service_test_support.hpp"
#include "core/verdict/junit_xml.hpp"
#include "core/verdict/run_report.hpp"

namespace orvalix {
namespace {

using test::named;
using test::step;
using test::udp;

// U1 has named conditions Ping (twice: the counts add up) and Pong, and steps labelled
// Reply (twice), "" and Other. U2 has no port, so a run does not serve it.
EnvironmentMap folder() {
    return {{u"U1", udp({step("1", "", "", "", "Reply"), step("1"), step("1", "", "", "", "Reply"),
                         step("1", "", "", "", "Other")},
                        {named("Ping", "1"), named("Pong", "1"), named("Ping", "1")})},
            {u"U2", Environment{}}};
}
const std::vector<std::u16string> kServed = {u"U1"};

TEST(Expectation, TextsAreReadOrRefusedWithTheirReason) {
    struct ParseCase {
        const char* rule;
        const char* text;
        Measure measure;
        const char* name;
        Comparison comparison;
        std::uint64_t count;
        const char* error;  // nullptr when it parses
    };
    // clang-format off
    const ParseCase cases[] = {
        {"frame counts, blanks optional", "U1:received>=5", Measure::Received, "", Comparison::AtLeast, 5, nullptr},
        {"blanks around the operator", " U1:sent  ==  0 ", Measure::Sent, "", Comparison::Equal, 0, nullptr},
        {"a named condition's mark rises", "U1:Pong < 3", Measure::MarkRises, "Pong", Comparison::Below, 3, nullptr},
        {"a step by label", "U1:step:Reply > 1", Measure::StepSent, "Reply", Comparison::Above, 1, nullptr},
        {"at most", "U1:received <= 18446744073709551615", Measure::Received, "", Comparison::AtMost,
         18446744073709551615u, nullptr},
        {"an environment not served", "U2:received >= 1", {}, "", {}, 0,
         "'U2:received >= 1': unknown environment \"U2\" (the run serves: U1)"},
        {"an unknown environment", "X:sent >= 1", {}, "", {}, 0,
         "'X:sent >= 1': unknown environment \"X\" (the run serves: U1)"},
        {"an unknown named condition; names compare exactly", "U1:ping >= 1", {}, "", {}, 0,
         "'U1:ping >= 1': environment U1 has no named condition \"ping\""},
        {"an unknown label", "U1:step:Nope >= 1", {}, "", {}, 0,
         "'U1:step:Nope >= 1': environment U1 has no step labelled \"Nope\""},
        {"an empty label is no label", "U1:step: >= 1", {}, "", {}, 0,
         "'U1:step: >= 1': environment U1 has no step labelled \"\""},
        {"a bad operator", "U1:received => 1", {}, "", {}, 0,
         "'U1:received => 1': bad operator '=>'; use one of >=, <=, ==, >, <"},
        {"a single equals sign", "U1:received = 1", {}, "", {}, 0,
         "'U1:received = 1': bad operator '='; use one of >=, <=, ==, >, <"},
        {"no operator", "U1:received", {}, "", {}, 0,
         "'U1:received': no comparison; write it as ENV:WHAT OP N with OP one of >=, <=, ==, >, <"},
        {"a count that is not a whole number", "U1:received >= -1", {}, "", {}, 0,
         "'U1:received >= -1': the count must be a whole number of 0 or more, not '-1'"},
        {"a count with trailing text", "U1:received >= 1x", {}, "", {}, 0,
         "'U1:received >= 1x': the count must be a whole number of 0 or more, not '1x'"},
        {"no environment", ":received >= 1", {}, "", {}, 0,
         "':received >= 1': write what is counted as ENV:received, ENV:sent, ENV:NAME or ENV:step:LABEL"},
    };
    // clang-format on
    const EnvironmentMap environments = folder();
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.rule);
        const ExpectationParse parsed = parseExpectation(c.text, environments, kServed);
        EXPECT_EQ(parsed.error, c.error ? c.error : "");
        ASSERT_EQ(parsed.expectation.has_value(), c.error == nullptr);
        if (parsed.expectation) {
            EXPECT_EQ(parsed.expectation->environment, u"U1");
            EXPECT_EQ(parsed.expectation->measure, c.measure);
            EXPECT_EQ(toNarrow(parsed.expectation->name), c.name);
            EXPECT_EQ(parsed.expectation->comparison, c.comparison);
            EXPECT_EQ(parsed.expectation->count, c.count);
        }
    }
}

TEST(Expectation, CountsComeFromTheCoverageAndCompareAsWritten) {
    const EnvironmentMap environments = folder();
    EnvironmentCoverage coverage{7, 4, {{5, 1, 0}, {9, 9, 9}, {5, 2, 0}, {1, 1, 1}}, {{0, 3, 0}, {0, 20, 0}, {0, 4, 0}}, {}, 0};
    struct JudgeCase {
        const char* text;
        std::uint64_t got;
        bool passed;
    };
    // clang-format off
    const JudgeCase cases[] = {
        {"U1:received >= 7", 7, true}, {"U1:received > 7", 7, false}, {"U1:sent <= 4", 4, true},
        {"U1:sent < 4", 4, false}, {"U1:sent == 4", 4, true},
        {"U1:Ping == 7", 7, true},         // both conditions named Ping add up; Pong's rises are its own
        {"U1:step:Reply == 3", 3, true},   // frames sent, not turns held, of both Reply steps
        {"U1:step:Other >= 2", 1, false},
    };
    // clang-format on
    for (const JudgeCase& c : cases) {
        SCOPED_TRACE(c.text);
        const Expectation expectation = *parseExpectation(c.text, environments, kServed).expectation;
        const ExpectationOutcome outcome = judge(expectation, false, environments.at(u"U1"), &coverage);
        EXPECT_EQ(outcome.got, c.got);
        EXPECT_EQ(outcome.passed, c.passed);
    }
    const Expectation atLeastOne = *parseExpectation("U1:received >= 1", environments, kServed).expectation;
    EXPECT_FALSE(judge(atLeastOne, true, environments.at(u"U1"), nullptr).passed) << "nothing counted is 0";
}

TEST(RunReport, NeverListsStepsThatNeverHeldAndConditionsThatNeverFired) {
    const EnvironmentMap environments = folder();
    const EnvironmentCoverage coverage{0, 0, {{1, 1, 1}, {0, 0, 5}, {0, 0, 0}, {2, 0, 0}}, {{0, 1, 0}, {0, 0, 0}, {2, 0, 0}}, {}, 0};
    const std::size_t rows[] = {2, 4, 5};  // the last step's row unknown
    const EnvironmentReport report = environmentReport(u"U1", environments.at(u"U1"), coverage, rows);
    EXPECT_EQ(report.neverFired(), (std::vector<std::string>{"step row 4", "step Reply", "named Pong"}));
}

TEST(JunitXml, TextsThatXmlCannotHoldAreEscapedOrReplaced) {
    RunReport report;
    report.folder = "a&b";
    report.error = "Can't open <port>\x01\xff";
    const std::string xml = junitXml(report);
    EXPECT_NE(xml.find("name=\"orvalix-cli run a&amp;b\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("message=\"Can't open &lt;port&gt;\xEF\xBF\xBD\xEF\xBF\xBD\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("tests=\"1\" failures=\"1\""), std::string::npos) << xml;
}

}  // namespace
}  // namespace orvalix
