#include "cli/check_expressions.hpp"

#include <algorithm>
#include <optional>

#include "cli/check_names.hpp"
#include "core/expression/compile_expression.hpp"
#include "core/expression/operator_grouping.hpp"
#include "core/service/build_frame.hpp"
#include "core/service/receive.hpp"
#include "core/text/text_conversion.hpp"

namespace orvalix::cli {
namespace {

std::u16string asciiLowerCase(std::u16string_view text) {
    std::u16string lower(text);
    for (char16_t& c : lower) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
    return lower;
}

// A buffer name that differs from the name only in case, for a hint; empty when there is none.
std::u16string nameInOtherCase(std::u16string_view name, const std::set<std::u16string>& bufferNames) {
    const std::u16string lower = asciiLowerCase(name);
    for (const std::u16string_view candidate : {kReceiveName, kTransmitName}) {
        if (asciiLowerCase(candidate) == lower) {
            return std::u16string(candidate);
        }
    }
    const auto found = std::find_if(bufferNames.begin(), bufferNames.end(), [&lower](const std::u16string& buffer) {
        return asciiLowerCase(buffer) == lower;
    });
    return found == bufferNames.end() ? std::u16string() : *found;
}

}  // namespace

void ExpressionChecks::add(const ExpressionCell& cell, Severity severity, std::string message) {
    findings_.push_back({std::string(cell.file), cell.row, cell.column, severity, std::move(message)});
}

bool ExpressionChecks::checkCell(const ExpressionCell& cell, std::u16string_view text, EmptyCell whenEmpty,
                                 ExpressionPlace place) {
    const std::string what(cell.what);
    if (text.empty()) {
        if (whenEmpty == EmptyCell::CountsAsTrue) {
            add(cell, Severity::Warning, what + " is empty: it counts as holding (-1); write 1 if that is meant");
        } else if (whenEmpty == EmptyCell::GivesByteFF) {
            add(cell, Severity::Warning, what + " is empty: it gives the byte ff; write 0xFF if that is meant");
        }
        return false;
    }
    const std::string narrow = toNarrow(text);
    // The compiler reads up to the first NUL and at most kMaxExpressionLength bytes.
    const std::size_t length = std::min(narrow.find('\0'), narrow.size());
    // Reduced as the compiler does, with the parentheses kept to judge the operators' grouping.
    const Compilation<std::vector<Reduction>> reduced = compileReductionsAsWritten(narrow, place);
    const bool compiles = reduced.program.has_value();
    const std::string failure = whenEmpty == EmptyCell::GivesByteFF ? "it gives the byte ff"
                                                                     : "it evaluates to -1 and counts as holding";
    if (length >= kMaxExpressionLength) {
        const std::string result =
            compiles ? "only what comes before is evaluated" : "that part does not compile, so " + failure;
        add(cell, Severity::Error,
            what + " is too long: " + std::to_string(length) + " bytes, and an expression is read up to " +
                std::to_string(kMaxExpressionLength) + " (the token still open there is dropped); " + result);
    } else if (!compiles) {
        add(cell, Severity::Error,
            what + " " + inQuotes(text) + " does not compile: " + describeCompileFailure(reduced.diagnostic) +
                "; " + failure);
    }
    if (reduced.program) {
        if (const std::optional<std::string> grouping = describeOperatorGrouping(*reduced.program)) {
            add(cell, Severity::Warning, what + " " + *grouping);
        }
        noteNamesRead(cell, *reduced.program);
    }
    return true;
}

void ExpressionChecks::noteNamesRead(const ExpressionCell& cell, const std::vector<Reduction>& reductions) {
    const std::size_t firstOfCell = namesRead_.size();
    for (const Reduction& reduction : reductions) {
        for (const Token& token : reduction.tokens) {
            if (token.kind != TokenKind::Identifier || token.name == kReceiveName || token.name == kTransmitName) {
                continue;
            }
            const auto ofCell = namesRead_.begin() + static_cast<std::ptrdiff_t>(firstOfCell);
            const auto sameName = [&token](const NameRead& read) { return read.name == token.name; };
            if (std::any_of(ofCell, namesRead_.end(), sameName)) {
                continue;
            }
            if (files_.empty() || files_.back() != cell.file) {
                files_.emplace_back(cell.file);
            }
            namesRead_.push_back({files_.size() - 1, cell.row, cell.column, cell.what, token.name});
        }
    }
}

void ExpressionChecks::checkNames(const std::set<std::u16string>& bufferNames) {
    for (const NameRead& read : namesRead_) {
        if (bufferNames.count(read.name) != 0) {
            continue;
        }
        const std::u16string otherCase = nameInOtherCase(read.name, bufferNames);
        const std::string hint =
            otherCase.empty() ? "" : " (names are compared exactly: " + inQuotes(otherCase) + " is one)";
        findings_.push_back({files_[read.file], read.row, read.column, Severity::Warning,
                             std::string(read.what) + " reads " + inQuotes(read.name) +
                                 ", which names no buffer of this folder (R, T, a named condition or a frame): "
                                 "reading it gives -1" + hint});
    }
    namesRead_.clear();
}

}  // namespace orvalix::cli
