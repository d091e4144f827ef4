#include "core/text/csv_reader.hpp"

#include "core/text/text_conversion.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

namespace orvalix {
namespace {

namespace fs = std::filesystem;

// A fresh folder per test, removed afterwards; tests may run in parallel processes.
class TempFolder {
public:
    TempFolder() {
        std::random_device random;
        path_ = fs::temp_directory_path() /
                ("orvalix_csv_" + std::to_string(random()) + std::to_string(random()));
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    fs::path write(std::string_view name, std::string_view bytes) const {
        const fs::path file = path_ / name;
        std::ofstream out(file, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file;
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::string utf8(std::u8string_view text) { return {text.begin(), text.end()}; }

struct QuoteCase {
    const char* rule;
    std::string utf8Text;
    CsvTable expected;
    bool unterminated;
};

const QuoteCase kQuoteCases[] = {
    {"comma inside quotes stays in the cell", "a,\"b,c\",d\n", {{u"a", u"b,c", u"d"}}, false},
    {"doubled quote gives one quote", "\"word\"\"second\"\"\"\n", {{u"word\"second\""}}, false},
    {"quoted line feed continues the cell", "\"x\ny\",z\n", {{u"x\ny", u"z"}}, false},
    {"quote inside a cell runs to the next quote", "ab\"c,d\ne\"f\n", {{u"abc,d\nef"}}, false},
    {"empty line is one empty cell", "\n", {{u""}}, false},
    {"trailing comma gives an empty last cell", "a,\n", {{u"a", u""}}, false},
    {"empty quoted cell", "a,\"\",b\n", {{u"a", u"", u"b"}}, false},
    {"text after a closed quote joins the cell", "\"a\"b,c\n", {{u"ab", u"c"}}, false},
    {"lone quote cell", "\"\"\"\"\n", {{u"\""}}, false},
    {"carriage return is ordinary", "a\rb\n", {{u"a\rb"}}, false},
    {"last line without line feed is dropped", "a,b\nc,d", {{u"a", u"b"}}, true},
    {"single line without line feed gives nothing", "abc", {}, true},
    {"open quote at the end drops the row", "a\n\"b\n", {{u"a"}}, true},
    {"empty text gives nothing", "", {}, false},
    {"several rows of uneven width", "a\nb,c,d\n\n", {{u"a"}, {u"b", u"c", u"d"}, {u""}}, false},
    {"non-ASCII cells", utf8(u8"名前,値\n𝄞,\"ü\"\n"), {{u"名前", u"値"}, {u"𝄞", u"ü"}}, false},
};

TEST(CsvQuoteRules, ParseTextGivesExpectedRows) {
    for (const auto& c : kQuoteCases) {
        SCOPED_TRACE(c.rule);
        const auto parsed = parseCsvText(toWide(c.utf8Text));
        EXPECT_EQ(parsed.table, c.expected);
        EXPECT_EQ(parsed.unterminatedLastRow, c.unterminated);
        EXPECT_EQ(parsed.rowLines.size(), parsed.table.size());
    }
}

TEST(CsvQuoteRules, FileReadGivesSameRowsAsText) {
    const TempFolder folder;
    for (const auto& c : kQuoteCases) {
        SCOPED_TRACE(c.rule);
        CsvTable table;
        EXPECT_EQ(readCsvFile(folder.write("case.csv", c.utf8Text), table), 0);
        EXPECT_EQ(table, c.expected);
    }
}

TEST(CsvQuoteRules, RowLinesCountLinesInsideQuotedCells) {
    const auto parsed = parseCsvText(u"a\n\"x\ny\nz\",w\n\nb\nc");
    ASSERT_EQ(parsed.table.size(), 4u);
    EXPECT_EQ(parsed.rowLines, (std::vector<std::size_t>{1, 2, 5, 6}));
    EXPECT_TRUE(parsed.unterminatedLastRow);
}

struct EncodingCase {
    const char* rule;
    std::string bytes;
    CsvTable expected;
};

const EncodingCase kEncodingCases[] = {
    {"UTF-8 byte-order mark is not data", "\xEF\xBB\xBF" "a,b\n", {{u"a", u"b"}}},
    {"mark later in the file is data", "a\n\xEF\xBB\xBF" "b\n", {{u"a"}, {u"\uFEFFb"}}},
    {"CR LF ends a line", "a,b\r\nc\r\n", {{u"a", u"b"}, {u"c"}}},
    {"CR alone is kept", "a\rb\n", {{u"a\rb"}}},
    {"only the CR next to LF is dropped", "a\r\r\n", {{u"a\r"}}},
    {"CR LF inside a quoted cell becomes LF", "\"x\r\ny\"\r\n", {{u"x\ny"}}},
    {"mark only gives no rows", "\xEF\xBB\xBF", {}},
    {"empty file gives no rows", "", {}},
    {"UTF-16LE with its mark", std::string("\xFF\xFE" "a\0,\0b\0\r\0\n\0", 12), {{u"a", u"b"}}},
    {"UTF-16LE Japanese and surrogate pair",
     std::string("\xFF\xFE\xE5\x65\x2C\x00\x34\xD8\x1E\xDD\x0A\x00", 12), {{u"日", u"𝄞"}}},
    {"UTF-16LE last line without line feed", std::string("\xFF\xFE" "a\0\n\0b\0", 8), {{u"a"}}},
};

TEST(CsvFileDecoding, BomAndLineEndsAreHandled) {
    const TempFolder folder;
    for (const auto& c : kEncodingCases) {
        SCOPED_TRACE(c.rule);
        CsvTable table;
        EXPECT_EQ(readCsvFile(folder.write("enc.csv", c.bytes), table), 0);
        EXPECT_EQ(table, c.expected);
    }
}

struct MalformedCase {
    const char* rule;
    std::string bytes;
    std::size_t offset;
};

const MalformedCase kMalformedCases[] = {
    {"Shift-JIS text", "a,\x82\xA0\n", 2},
    {"offset counts the byte-order mark", "\xEF\xBB\xBF" "ab\xFF\n", 5},
    {"stray continuation byte", "\x80", 0},
    {"overlong form", "x\xC0\xAF\n", 1},
    {"encoded surrogate", "ok\n\xED\xA0\x80\n", 3},
    {"sequence cut by the end of the file", "abc\xE3\x81", 3},
    {"odd trailing byte in UTF-16LE", std::string("\xFF\xFE" "a\0b", 5), 4},
};

TEST(CsvFileDecoding, MalformedTextIsAReadErrorNamingTheOffset) {
    const TempFolder folder;
    for (const auto& c : kMalformedCases) {
        SCOPED_TRACE(c.rule);
        const auto file = folder.write("bad.csv", c.bytes);
        std::u16string text = u"left over";
        const auto error = readTextFile(file, text);
        EXPECT_EQ(error.code, EILSEQ);
        EXPECT_NE(error.message.find("offset " + std::to_string(c.offset)), std::string::npos)
            << error.message;
        EXPECT_NE(error.message.find("Shift-JIS"), std::string::npos) << error.message;
        EXPECT_TRUE(text.empty());

        CsvTable table{{u"kept"}};
        EXPECT_EQ(readCsvFile(file, table), EILSEQ);
        EXPECT_EQ(table, (CsvTable{{u"kept"}}));
    }
}

TEST(CsvFileErrors, MissingFileGivesErrnoAndAppendsNothing) {
    const TempFolder folder;
    const auto missing = folder.path() / "absent.csv";
    std::u16string text;
    const auto error = readTextFile(missing, text);
    EXPECT_EQ(error.code, ENOENT);
    EXPECT_NE(error.message.find(std::generic_category().message(ENOENT)), std::string::npos)
        << error.message;

    CsvTable table;
    EXPECT_EQ(readCsvFile(missing, table), ENOENT);
    EXPECT_TRUE(table.empty());
}

TEST(CsvFileErrors, FolderInsteadOfFileIsNotRead) {
    const TempFolder folder;
    CsvTable table;
    EXPECT_NE(readCsvFile(folder.path(), table), 0);
    EXPECT_TRUE(table.empty());
}

TEST(CsvFileRead, RowsAreAppendedAfterExistingOnes) {
    const TempFolder folder;
    CsvTable table{{u"first"}};
    EXPECT_EQ(readCsvFile(folder.write("more.csv", "second,x\n"), table), 0);
    EXPECT_EQ(table, (CsvTable{{u"first"}, {u"second", u"x"}}));
}

}  // namespace
}  // namespace orvalix
