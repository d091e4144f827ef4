#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/project_check.hpp"
#include "core/expression/compile_expression.hpp"
#include "core/expression/compiled_expression.hpp"

namespace orvalix::cli {

// How the loaders treat an expression cell whose text is empty.
enum class EmptyCell {
    Allowed,        // another value stands in for it
    CountsAsTrue,   // evaluates to -1: the condition always holds
    GivesByteFF,    // a frame field of 0xFF
};

// Where an expression cell lies, and what it is for a message ("transmit condition").
struct ExpressionCell {
    std::string_view file;
    std::size_t row = 0;
    std::size_t column = 0;  // 1-based
    std::string_view what;   // a literal: it is kept until checkNames
};

// Checks the expression cells of a folder: what a cell says on its own at once, and the buffer
// names it reads once every name the folder gives a buffer is known.
class ExpressionChecks {
public:
    // Reports a cell that is empty, too long, does not compile or groups its operators otherwise
    // than C would; returns false when the cell is empty.
    bool checkCell(const ExpressionCell& cell, std::u16string_view text, EmptyCell whenEmpty,
                   ExpressionPlace place = ExpressionPlace::Value);

    // Reports every name read by a checked cell that is none of these buffers' names.
    void checkNames(const std::set<std::u16string>& bufferNames);

    std::vector<Finding> takeFindings() { return std::move(findings_); }

private:
    // Many cells read the same few names: one entry per name and cell, the file by its place.
    struct NameRead {
        std::size_t file;
        std::size_t row;
        std::size_t column;
        std::string_view what;
        std::u16string name;
    };

    void add(const ExpressionCell& cell, Severity severity, std::string message);
    void noteNamesRead(const ExpressionCell& cell, const std::vector<Reduction>& reductions);

    std::vector<Finding> findings_;
    std::vector<std::string> files_;
    std::vector<NameRead> namesRead_;
};

}  // namespace orvalix::cli
