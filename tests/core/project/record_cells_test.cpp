#include "core/project/record_cells.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace orvalix {
namespace {

std::vector<std::u16string> cellsOf(const RecordCells& cells) {
    std::vector<std::u16string> result;
    for (std::size_t i = 0; i < cells.size(); ++i) result.emplace_back(cells[i]);
    return result;
}

TEST(RecordCells, KeepEveryCellAsReadWithItsBoundaries) {
    const std::vector<std::vector<std::u16string>> rows = {
        {u" S ", u"(R[0] == 0x02) & (R[1] == 0x53)", u"Reply", u"\t0", u" T"},  // blanks are kept
        {u""},                      // an empty line is a record of one empty cell
        {u"", u"", u""},            // empty cells still count
        {u"a", u"", u"b"},          // an empty cell between two
        {u"\u65e5\u672c", u"x,y"},  // any text, commas included
        {},                         // a row without cells
        {std::u16string(70000, u'L'), u"after a cell longer than 65535 units"}};
    for (const auto& row : rows) {
        const RecordCells cells(row);
        EXPECT_EQ(cellsOf(cells), row) << row.size() << " cells";
        EXPECT_EQ(cells.empty(), row.empty());
    }
}

TEST(RecordCells, CompareByCellsNotByTheirJoinedText) {
    const RecordCells abc{u"ab", u"c"};
    EXPECT_EQ(abc, (RecordCells{u"ab", u"c"}));
    EXPECT_EQ(abc, RecordCells(std::vector<std::u16string>{u"ab", u"c"}));
    EXPECT_NE(abc, (RecordCells{u"a", u"bc"}));
    EXPECT_NE(abc, (RecordCells{u"ab", u"c", u""}));
    EXPECT_NE(RecordCells{}, (RecordCells{u""}));
}

}  // namespace
}  // namespace orvalix
