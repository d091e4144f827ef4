// Feeds one data file's bytes to the CSV parser (decoded as the reader decodes files) and to
// splitQuoted, whose separator is the file's first cell when that is short. Text without any
// double quote must split exactly as plain splitting does.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/text/csv_reader.hpp"
#include "core/text/text_split.hpp"
#include "fuzz_input.hpp"

namespace {

using orvalix::fuzz::require;

void checkParse(std::u16string_view text, const orvalix::CsvParse& parse) {
    require(parse.rowLines.size() == parse.table.size(), "one start line per row");
    const auto lineFeeds = static_cast<std::size_t>(std::count(text.begin(), text.end(), u'\n'));
    std::size_t previousLine = 0;
    for (std::size_t r = 0; r < parse.table.size(); ++r) {
        require(!parse.table[r].empty(), "a row has at least one cell");
        require(parse.rowLines[r] > previousLine && parse.rowLines[r] <= lineFeeds, "row lines rise within the text");
        previousLine = parse.rowLines[r];
    }
    if (parse.openQuote.line != 0) {
        require(parse.unterminatedLastRow, "a quote left open leaves the last row undelivered");
        require(parse.openQuote.line <= lineFeeds + 1 && parse.openQuote.line > previousLine,
                "a quote left open lies after the last delivered row");
        require(parse.openQuote.cell >= 1 && parse.openQuote.character >= 1, "places count from 1");
    }
    if (text.find(u'"') != std::u16string_view::npos) {
        return;
    }
    require(parse.openQuote.line == 0, "quote-free text: no quote left open");
    // Without quotes a row is a line and a cell is what lies between commas.
    std::vector<std::u16string> lines;
    orvalix::splitText(text, u"\n", lines);
    lines.pop_back();  // after the last line feed: not a delivered row
    require(lines.size() == parse.table.size(), "quote-free text: one row per line");
    for (std::size_t r = 0; r < lines.size(); ++r) {
        orvalix::CsvRow cells;
        orvalix::splitText(lines[r], u",", cells);
        require(cells == parse.table[r], "quote-free text: cells split at commas");
    }
    require(parse.unterminatedLastRow == (!text.empty() && text.back() != u'\n'),
            "quote-free text: unterminated exactly when no line feed ends it");
}

void checkSplit(std::u16string_view text, std::u16string_view separator) {
    std::vector<std::u16string> quoted;
    orvalix::splitQuoted(text, separator, quoted);
    if (text.find(u'"') != std::u16string_view::npos || separator.empty()) {
        return;
    }
    std::vector<std::u16string> plain;
    orvalix::splitText(text, separator, plain);
    // A longer separator consumes only its first character in quoted splitting.
    if (separator.size() == 1) {
        require(quoted == plain, "quote-free text: splitQuoted equals splitText");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = orvalix::fuzz::decodeLikeDataFile(orvalix::fuzz::asText({data, size}));
    const orvalix::CsvParse parse = orvalix::parseCsvText(text);
    checkParse(text, parse);

    checkSplit(text, u",");
    checkSplit(text, u" ");
    if (!parse.table.empty() && parse.table.front().front().size() <= 3) {
        checkSplit(text, parse.table.front().front());
    }
    return 0;
}
