#include "core/text/csv_reader.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <string>
#include <system_error>
#include <tuple>
#include <utility>

#include "../project/temp_folder.hpp"
#include "core/text/text_conversion.hpp"

namespace orvalix {
namespace {

std::string utf8(std::u8string_view text) { return {text.begin(), text.end()}; }

CsvTable readFile(std::string_view bytes) {
    const test::TempFolder folder;
    FileRead<CsvTable> read = readCsvFile(folder.write(u"t.csv", bytes));
    EXPECT_TRUE(read.contents) << read.failure.message;
    return std::move(read.contents).value_or(CsvTable{});
}

TEST(CsvQuoteRules, TextAndFileGiveTheSameRows) {
    const std::tuple<std::string, CsvTable, bool> cases[] = {
        {"a,\"b,c\",d\n", {{u"a", u"b,c", u"d"}}, false},
        {"\"word\"\"second\"\"\"\n", {{u"word\"second\""}}, false},
        {"\"x\ny\",z\n", {{u"x\ny", u"z"}}, false}, {"a,\"\",b\n", {{u"a", u"", u"b"}}, false},
        // A quote inside a cell runs to the next quote; text after a closed quote joins the cell.
        {"ab\"c,d\ne\"f\n", {{u"abc,d\nef"}}, false}, {"\"a\"b,c\n", {{u"ab", u"c"}}, false},
        {"\"\"\"\"\n", {{u"\""}}, false}, {"a\nb,c,\n\n", {{u"a"}, {u"b", u"c", u""}, {u""}}, false},
        // A last line without line feed, or with an open quote, is dropped.
        {"a,b\nc,d", {{u"a", u"b"}}, true}, {"abc", {}, true}, {"a\n\"b\n", {{u"a"}}, true}, {"", {}, false},
        {utf8(u8"名前,値\n𝄞,\"ü\"\n"), {{u"名前", u"値"}, {u"𝄞", u"ü"}}, false}};
    for (const auto& [text, expected, unterminated] : cases) {
        const auto parsed = parseCsvText(toWide(text));
        EXPECT_EQ(std::tie(parsed.table, parsed.unterminatedLastRow), std::tie(expected, unterminated));
        EXPECT_EQ(readFile(text), expected) << text;
    }
}

TEST(CsvQuoteRules, RowLinesCountLinesInsideQuotedCells) {
    const auto parsed = parseCsvText(u"a\n\"x\ny\nz\",w\n\nb\nc");
    EXPECT_EQ(parsed.rowLines, (std::vector<std::size_t>{1, 2, 5, 6}));
}

TEST(CsvQuoteRules, AQuoteLeftOpenIsPlacedWhereItOpened) {
    struct Case {
        const char* rule;
        std::u16string text;
        CsvParse::Place place;  // line, cell, character; all 0 when every quote closed
    };
    const Case cases[] = {
        {"every quote closed", u"a,\"b\"\n\"c\"\"\"\n", {}},
        {"every quote closed on a last line without line feed", u"a,\"1\",,", {}},
        {"an open quote at the start of a cell", u"a,\"b\nc\n", {1, 2, 3}},
        {"a doubled quote continues the section it is in", u"x\n\"say \"\"hi,\n", {2, 1, 1}},
        {"a closed section and a new one: the new one", u"\"x\"y\"z,\n", {1, 1, 5}},
        {"a quote inside a cell opens a section too", u"ab,c\"d\n", {1, 2, 5}},
        {"lines inside an earlier closed section count", u"a,\"1\n\",,\nb,\"2\n", {3, 2, 3}},
        {"a character outside the basic plane is one character", u"𝄞,\"1\n", {1, 2, 3}},
        {"a quote as the last character", u"a\"", {1, 1, 2}},
    };
    for (const Case& c : cases) {
        const CsvParse parsed = parseCsvText(c.text);
        EXPECT_EQ(parsed.openQuote, c.place) << c.rule;
        EXPECT_EQ(parsed.unterminatedLastRow, c.place.line != 0 || !c.text.ends_with(u'\n')) << c.rule;
    }
}

TEST(CsvFileDecoding, BomAndLineEndsAreHandled) {
    const std::pair<std::string, CsvTable> cases[] = {
        {"\xEF\xBB\xBF" "a,b\n", {{u"a", u"b"}}}, {"a\n\xEF\xBB\xBF" "b\n", {{u"a"}, {u"\uFEFFb"}}},
        // Only the CR right before LF belongs to the line end, also inside quotes.
        {"a,b\r\nc\r\n", {{u"a", u"b"}, {u"c"}}}, {"a\rb\r\r\n", {{u"a\rb\r"}}},
        {"\"x\r\ny\"\r\n", {{u"x\ny"}}}, {std::string("\xFF\xFE" "a\0,\0b\0\r\0\n\0", 12), {{u"a", u"b"}}},
        {std::string("\xFF\xFE\xE5\x65\x2C\x00\x34\xD8\x1E\xDD\x0A\x00", 12), {{u"日", u"𝄞"}}},
        {std::string("\xFF\xFE" "a\0\n\0b\0", 8), {{u"a"}}}, {"\xEF\xBB\xBF", {}}};
    for (const auto& [bytes, expected] : cases) EXPECT_EQ(readFile(bytes), expected) << bytes.size();
}

TEST(CsvFileErrors, MalformedTextOrMissingFileIsAReadError) {
    const test::TempFolder folder;
    // The bytes, or none for a missing file; the error code; a part of the message.
    const std::tuple<std::optional<std::string>, int, std::string> cases[] = {
        {"a,\x82\xA0\n", EILSEQ, "offset 2"}, {"\xEF\xBB\xBF" "ab\xFF\n", EILSEQ, "offset 5"},
        {"x\xC0\xAF\n", EILSEQ, "offset 1"}, {"ok\n\xED\xA0\x80\n", EILSEQ, "offset 3"},
        {"abc\xE3\x81", EILSEQ, "offset 3"}, {std::string("\xFF\xFE" "a\0b", 5), EILSEQ, "offset 4"},
        {"\x80", EILSEQ, "Shift-JIS"}, {std::nullopt, ENOENT, std::generic_category().message(ENOENT)}};
    for (const auto& [bytes, code, messagePart] : cases) {
        const auto file = bytes ? folder.write(u"bad.csv", *bytes) : folder.file(u"absent.csv");
        const FileRead<std::u16string> text = readTextFile(file);
        EXPECT_FALSE(text.contents);
        EXPECT_EQ(text.failure.error, std::error_code(code, std::generic_category()));
        EXPECT_NE(text.failure.message.find(messagePart), std::string::npos) << text.failure.message;
        const FileRead<CsvTable> table = readCsvFile(file);
        EXPECT_FALSE(table.contents);
        EXPECT_EQ(table.failure.error, text.failure.error);
        EXPECT_EQ(table.failure.message, text.failure.message);
    }
    // A folder opens as no file.
    const FileRead<CsvTable> folderRead = readCsvFile(folder.path());
    EXPECT_FALSE(folderRead.contents);
    EXPECT_TRUE(folderRead.failure.error);
}

}  // namespace
}  // namespace orvalix
