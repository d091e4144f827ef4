#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace orvalix {

// One row of cells as read; a row always has at least one cell.
using CsvRow = std::vector<std::u16string>;
// Rows in file order; rows may differ in their number of cells.
using CsvTable = std::vector<CsvRow>;

// What parsing decoded text yields, with the facts a checker needs beyond the table.
struct CsvParse {
    CsvTable table;
    // The text ended inside a row (no line feed outside quotes closed it): that row was
    // not delivered.
    bool unterminatedLastRow = false;
    // Line (1-based) on which each delivered row starts; same size as table.
    std::vector<std::size_t> rowLines;
    // Where the quoted section that the text ended in was opened: its line, the number of the
    // cell in its row and the character's place on the line (all 1-based, counting characters
    // rather than UTF-16 units). Line 0 when every quoted section was closed.
    struct Place {
        std::size_t line = 0;
        std::size_t cell = 0;
        std::size_t character = 0;
        friend bool operator==(const Place&, const Place&) = default;
    };
    Place openQuote;
};

// Applies the quote rules to decoded text (line ends already reduced to LF).
CsvParse parseCsvText(std::u16string_view text);

// Why a file could not be turned into text.
struct FileReadFailure {
    // The errno that the C library's file streams leave behind, in the generic category since
    // it is the C library's number on every system (on Windows it is no GetLastError code);
    // EILSEQ for bytes that do not decode.
    std::error_code error;
    std::string message;  // what went wrong, without the path
};

// What reading a file gives: its contents, or why there are none.
template <typename Contents>
struct FileRead {
    std::optional<Contents> contents;
    FileReadFailure failure;  // when there are no contents
};

// Reads a file: UTF-8 (BOM optional) or UTF-16LE with its BOM, CR LF or LF.
// Gives the decoded text with CR LF reduced to LF.
FileRead<std::u16string> readTextFile(const std::filesystem::path& path);

// The rows of the file.
FileRead<CsvTable> readCsvFile(const std::filesystem::path& path);

}  // namespace orvalix
