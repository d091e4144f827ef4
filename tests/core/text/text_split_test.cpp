#include "core/text/text_split.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvalix {
namespace {

using Pieces = std::vector<std::u16string>;

struct TrimCase {
    std::u16string_view text;
    std::u16string_view expected;
};

TEST(TrimText, RemovesSetCharactersAtBothEndsOnly) {
    const TrimCase cases[] = {
        {u"  a b  ", u"a b"},
        {u"\t\u3000x\u3000 ", u"x"},
        {u"x", u"x"},
        {u"  x", u"x"},
        {u"x\t", u"x"},
        {u"a\u3000\tb", u"a\u3000\tb"},
        {u"   ", u"   "},           // only set characters: unchanged
        {u"\t\u3000", u"\t\u3000"},
        {u"", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(c.text).size()));
        EXPECT_EQ(trimText(c.text, kBlankCharacters), c.expected);
    }
}

struct SplitCase {
    const char* rule;
    std::u16string_view text;
    std::u16string_view separator;
    Pieces expected;
};

TEST(SplitText, KeepsEmptyPieces) {
    const SplitCase cases[] = {
        {"file name with two dots", u"Port1.Environments.csv", u".", {u"Port1", u"Environments", u"csv"}},
        {"empty text is one empty piece", u"", u":", {u""}},
        {"no separator is the whole text", u"COM3", u":", {u"COM3"}},
        {"trailing separator gives an empty last piece", u"a:", u":", {u"a", u""}},
        {"leading separator gives an empty first piece", u":5000", u":", {u"", u"5000"}},
        {"adjacent separators give an empty piece", u"a::b", u":", {u"a", u"", u"b"}},
        {"longer separator", u"a<>b<>", u"<>", {u"a", u"b", u""}},
        {"separator overlapping itself", u"a::::b", u"::", {u"a", u"", u"b"}},
        {"quotes have no meaning", u"\"a:b\"", u":", {u"\"a", u"b\""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        Pieces pieces;
        splitText(c.text, c.separator, pieces);
        EXPECT_EQ(pieces, c.expected);
    }
}

TEST(SplitQuoted, GroupsQuotedTextAndDropsUnterminatedLastPiece) {
    const SplitCase cases[] = {
        {"quoted blank and adjacent blanks", u"a  \"b c\"", u" ", {u"a", u"", u"b c"}},
        {"plain pieces", u"a b", u" ", {u"a", u"b"}},
        {"end of text ends the last piece", u"a ", u" ", {u"a", u""}},
        {"empty text is one empty piece", u"", u" ", {u""}},
        {"quoted path in a command line", u"orvalix.exe \"C:\\My Data\" -x", u" ",
         {u"orvalix.exe", u"C:\\My Data", u"-x"}},
        {"doubled quote inside quotes", u"\"a\"\"b\" c", u" ", {u"a\"b", u"c"}},
        {"quote in mid piece groups to the next quote", u"x\"y z\"w v", u" ", {u"xy zw", u"v"}},
        {"empty quoted piece", u"\"\" a", u" ", {u"", u"a"}},
        {"unterminated last piece is dropped", u"a \"open b", u" ", {u"a"}},
        {"unterminated only piece gives nothing", u"\"open", u" ", {}},
        {"line feed is ordinary", u"a\nb c", u" ", {u"a\nb", u"c"}},
        {"longer separator consumes one character", u"a, b", u", ", {u"a", u" b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        Pieces pieces;
        splitQuoted(c.text, c.separator, pieces);
        EXPECT_EQ(pieces, c.expected);
    }
}

TEST(SplitPieces, AreAppendedAfterExistingOnes) {
    Pieces pieces{u"kept"};
    splitText(u"a:b", u":", pieces);
    splitQuoted(u"\"c d\"", u" ", pieces);
    EXPECT_EQ(pieces, (Pieces{u"kept", u"a", u"b", u"c d"}));
}

}  // namespace
}  // namespace orvalix
