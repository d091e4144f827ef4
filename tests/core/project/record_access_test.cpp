#include "core/project/record_access.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvalix {
namespace {

TEST(RecordAccessors, ReadTheirColumnUntrimmedAndMissingColumnsAsEmpty) {
    SequenceStep step;
    step.cells = {u" S ", u"1", u" F ", u"\t0", u" T"};
    NamedCondition condition;
    condition.cells = {u" Ack ", u"1", u"mark", u"trigger"};
    EXPECT_EQ((std::vector{label(step), frameName(step), jumpConditionText(step), jumpTarget(step),
                           name(condition), markConditionText(condition), triggerConditionText(condition)}),
              (std::vector<std::u16string>{u" S ", u" F ", u"\t0", u" T", u" Ack ", u"mark", u"trigger"}));
    step.cells = {u" S ", u"1", u" F "};
    condition.cells = {u" Ack ", u"1"};
    EXPECT_EQ(jumpConditionText(step) + jumpTarget(step), u"");
    EXPECT_EQ(markConditionText(condition) + triggerConditionText(condition), u"");
}

}  // namespace
}  // namespace orvalix
