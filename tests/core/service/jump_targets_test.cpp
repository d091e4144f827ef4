#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "core/service/sequence.hpp"
#include "service_test_support.hpp"

namespace orvalix {
namespace {

constexpr std::int32_t kNone = kNoJumpTarget;

struct JumpCase {
    const char* rule;
    std::vector<SequenceStep> steps;
    JumpTargets expected;
};

SequenceStep labelled(std::string_view label, std::string_view target = "") {
    return test::step("0", "", target, "", label);
}

TEST(JumpTargets, EachStepJumpsToTheLastStepCarryingItsTargetAsLabel) {
    const JumpCase cases[] = {
        {"a target resolves to the step carrying it", {labelled("A", "B"), labelled("B")}, {1, kNone}},
        {"the last of several steps with one label wins", {labelled("A", "A"), labelled("A"), labelled("A")},
         {2, kNone, kNone}},
        {"a step may jump to itself", {labelled("Loop", "Loop")}, {0}},
        {"a target no step carries resolves to nothing", {labelled("A", "Nowhere")}, {kNone}},
        {"a target sorting before or after every label resolves to nothing",
         {labelled("M", "A"), labelled("N", "Z")}, {kNone, kNone}},
        {"an empty target names no step, though empty labels abound", {labelled("", ""), labelled("")},
         {kNone, kNone}},
        {"labels compare exactly: blanks and case count", {labelled(" A"), labelled("a"), labelled("X", "A")},
         {kNone, kNone, kNone}},
        {"a label that is a prefix of the target is another label", {labelled("Top"), labelled("x", "To")},
         {kNone, kNone}},
        {"steps jumping to one target all reach its last step, before or after them",
         {labelled("Top", "Top"), labelled("x", "Top"), labelled("y", "x"), labelled("Top", "y")}, {3, 3, 1, 2}},
        {"no steps, no targets", {}, {}},
    };
    for (const JumpCase& c : cases) EXPECT_EQ(resolveJumpTargets(c.steps), c.expected) << c.rule;
}

}  // namespace
}  // namespace orvalix
