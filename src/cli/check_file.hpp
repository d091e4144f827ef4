#pragma once

#include <cstddef>
#include <string>

#include "core/text/csv_reader.hpp"

namespace orvalix::cli {

// A data file as check read it: the path its findings name, and its rows.
struct CsvFile {
    std::string path;  // UTF-8
    bool read = false;
    CsvParse parse;

    // The 1-based line a row begins on; 0 when the file has no such row.
    std::size_t lineOf(std::size_t rowIndex) const {
        return rowIndex < parse.rowLines.size() ? parse.rowLines[rowIndex] : 0;
    }
};

}  // namespace orvalix::cli
