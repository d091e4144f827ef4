#include "core/text/text_split.hpp"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace orvalix {
namespace {

using Pieces = std::vector<std::u16string>;

// Pieces are appended after existing ones.
Pieces afterKept(Pieces tail) {
    tail.insert(tail.begin(), u"kept");
    return tail;
}

TEST(TrimText, RemovesSetCharactersAtBothEndsUnlessTheyAreAll) {
    const std::pair<std::u16string_view, std::u16string_view> cases[] = {
        {u"  a b  ", u"a b"}, {u"\t\u3000x\u3000 ", u"x"}, {u"x", u"x"}, {u"  x", u"x"}, {u"x\t", u"x"},
        {u"a\u3000\tb", u"a\u3000\tb"}, {u"   ", u"   "}, {u"\t\u3000", u"\t\u3000"}, {u"", u""},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(trimText(text, kBlankCharacters), expected);
}

TEST(SplitText, PlainKeepsEmptyPiecesQuotedGroupsAndDropsAnUnterminatedLastPiece) {
    const bool Q = true;
    const std::tuple<bool, std::u16string_view, std::u16string_view, Pieces> cases[] = {
        {!Q, u"", u":", {u""}}, {!Q, u"COM3", u":", {u"COM3"}}, {!Q, u":5000:", u":", {u"", u"5000", u""}},
        {!Q, u"a::b", u":", {u"a", u"", u"b"}}, {!Q, u"a<>b<>", u"<>", {u"a", u"b", u""}},
        {!Q, u"a::::b", u"::", {u"a", u"", u"b"}}, {!Q, u"\"a:b\"", u":", {u"\"a", u"b\""}},
        {Q, u"a  \"b c\"", u" ", {u"a", u"", u"b c"}}, {Q, u"a ", u" ", {u"a", u""}}, {Q, u"", u" ", {u""}},
        {Q, u"orvalix.exe \"C:\\My Data\" -x", u" ", {u"orvalix.exe", u"C:\\My Data", u"-x"}},
        {Q, u"\"a\"\"b\" c", u" ", {u"a\"b", u"c"}}, {Q, u"x\"y z\"w v", u" ", {u"xy zw", u"v"}},
        {Q, u"\"\" a", u" ", {u"", u"a"}}, {Q, u"a \"open b", u" ", {u"a"}}, {Q, u"\"open", u" ", {}},
        {Q, u"a\nb c", u" ", {u"a\nb", u"c"}},
        // A longer separator consumes only its first character when quotes count.
        {Q, u"a, b", u", ", {u"a", u" b"}}};
    for (const auto& [quoted, text, separator, expected] : cases) {
        Pieces pieces{u"kept"};
        (quoted ? splitQuoted : splitText)(text, separator, pieces);
        EXPECT_EQ(pieces, afterKept(expected)) << quoted << " " << text.size();
    }
}

}  // namespace
}  // namespace orvalix
