#include "cli/project_check.hpp"

#include <algorithm>
#include <iterator>
#include <map>
#include <set>
#include <system_error>
#include <tuple>

#include "cli/check_expressions.hpp"
#include "cli/check_file.hpp"
#include "cli/check_names.hpp"
#include "cli/check_port.hpp"
#include "core/expression/compile_expression.hpp"
#include "core/expression/field_layout.hpp"
#include "core/ports/parse_port_options.hpp"
#include "core/project/loaders.hpp"
#include "core/project/record_access.hpp"
#include "core/service/build_frame.hpp"
#include "core/text/csv_reader.hpp"
#include "core/text/text_conversion.hpp"
#include "core/text/text_split.hpp"
#include "core/traffic/log_files.hpp"

namespace orvalix::cli {
namespace {

std::string pathText(const std::filesystem::path& path) { return toNarrow(path.u16string()); }

std::string severityText(Severity severity) {
    switch (severity) {
        case Severity::Error: return "error";
        case Severity::Warning: return "warning";
        case Severity::Info: break;
    }
    return "info";
}

bool isEmptyLine(const CsvRow& row) { return row.size() == 1 && row[0].empty(); }

// Which byte of a multi-byte field a placeholder row's position holds, the first being 0.
std::string placeholderByte(int width, std::size_t byte) {
    if (width == 2) {
        return "the high byte of the two-byte field";
    }
    return "byte " + std::to_string(byte + 1) + " of the " + std::to_string(width) + "-byte field";
}

class FolderChecker {
public:
    explicit FolderChecker(std::u16string_view folder) : folder_(folder) {}

    CheckReport run() {
        std::vector<std::u16string> names;
        findEnvironmentNames(folder_, names);
        if (names.empty()) {
            add(pathText(std::filesystem::path(folder_)), 0, 0, Severity::Warning,
                "no file ending in .Environments.csv: the folder defines no environment");
        }
        std::map<std::u16string, std::size_t> occurrences;
        for (const auto& name : names) {
            ++occurrences[name];
        }
        for (const auto& [name, count] : occurrences) {
            checkEnvironment(name, count);
        }
        for (const auto& [frameName, uses] : frameUses_) {
            checkFrame(frameName, uses);
            bufferNames_.insert(frameName);
        }
        expressions_.checkNames(bufferNames_);
        addFindings(ports_.takeFindings());
        report_.notes = ports_.takeNotes();
        addFindings(expressions_.takeFindings());
        std::stable_sort(report_.findings.begin(), report_.findings.end(), [](const Finding& a, const Finding& b) {
            return std::tie(a.file, a.row, a.column) < std::tie(b.file, b.row, b.column);
        });
        return std::move(report_);
    }

private:
    struct Use {
        std::string file;
        std::size_t line;
    };

    void add(std::string file, std::size_t row, std::size_t column, Severity severity, std::string message) {
        report_.findings.push_back({std::move(file), row, column, severity, std::move(message)});
    }

    void addFindings(std::vector<Finding> findings) {
        report_.findings.insert(report_.findings.end(), std::make_move_iterator(findings.begin()),
                                std::make_move_iterator(findings.end()));
    }

    // Reads a file as the loaders do; reports what they would silently ignore.
    CsvFile readDataFile(std::u16string_view fileName, bool missingIsFinding) {
        return readFile(dataFilePath(folder_, fileName), missingIsFinding);
    }

    CsvFile readFile(const std::filesystem::path& path, bool missingIsFinding) {
        CsvFile file;
        file.path = pathText(path);
        const FileRead<std::u16string> read = readTextFile(path);
        if (!read.contents) {
            const bool missing = read.failure.error == std::errc::no_such_file_or_directory;
            if (missing && missingIsFinding) {
                add(file.path, 0, 0, Severity::Error,
                    "missing: another file ending in .Environments.csv names this environment, so it is "
                    "loaded without a port");
            } else if (!missing) {
                add(file.path, 0, 0, Severity::Error, read.failure.message + ": the file is ignored");
            }
            return file;
        }
        const std::u16string& text = *read.contents;
        file.read = true;
        file.parse = parseCsvText(text);
        if (const CsvParse::Place& quote = file.parse.openQuote; quote.line != 0) {
            add(file.path, quote.line, quote.cell, Severity::Error,
                "the quote at character " + std::to_string(quote.character) +
                    " of this line is never closed: everything after it belongs to one cell that the end of "
                    "the file cuts off, so this row and every line below it are ignored");
        } else if (file.parse.unterminatedLastRow) {
            const auto lastLine = static_cast<std::size_t>(std::count(text.begin(), text.end(), u'\n')) + 1;
            add(file.path, lastLine, 0, Severity::Warning,
                "the last line has no line feed and is ignored; end it with a line feed");
        }
        return file;
    }

    // Returns false when the cell is missing or empty.
    bool checkExpressionCell(const CsvFile& file, std::size_t line, const CsvRow& row, std::size_t column,
                             std::string_view what, EmptyCell whenEmpty,
                             ExpressionPlace place = ExpressionPlace::Value) {
        return expressions_.checkCell({file.path, line, column + 1, what}, cell(row, column), whenEmpty, place);
    }

    void checkEnvironment(const std::u16string& name, std::size_t count) {
        ++report_.summary.environments;
        const std::u16string fileName = name + std::u16string(kEnvironmentFileSuffix);
        const CsvFile file = readDataFile(fileName, true);
        if (count > 1) {
            add(file.path, 0, 0, Severity::Warning,
                "environment " + inQuotes(name) + " is named by " + std::to_string(count) +
                    " files ending in .Environments.csv (a name is the text before the first dot): its steps "
                    "and named conditions are loaded " + std::to_string(count) + " times over");
        }
        CsvTable rows;
        PortOptions port;
        if (file.read) {
            readEnvironmentTable(folder_, name, rows);
            port = parsePortOptions(rows);
            checkName(file.path, file.lineOf(1), kSettingColumn, "port name", port.name);
            ports_.checkPort(file, name, rows, port);
        }
        checkSequence(name);
        // Each file that names the environment loads its named conditions once more.
        const std::size_t conditionCount = checkNamedConditions(name) * count;
        checkFaults(name, portKind(port));
        if (isUsable(port)) {
            ports_.checkHistoryMemory(file, port, conditionCount);
        }
    }

    // Reports the first control character of a cell that names something: it cannot be seen,
    // and a NUL cuts the name short wherever it is handed to the system.
    void checkName(const std::string& path, std::size_t line, std::size_t column, std::string_view what,
                   std::u16string_view text) {
        const auto found = std::find_if(text.begin(), text.end(), isControl);
        if (found == text.end()) {
            return;
        }
        const auto at = static_cast<std::size_t>(found - text.begin());
        // Characters, not UTF-16 units: the second half of a pair is no character of its own.
        const auto character = static_cast<std::size_t>(
            std::count_if(text.begin(), found, [](char16_t c) { return c < 0xDC00 || c > 0xDFFF; }) + 1);
        const std::string consequence =
            *found == u'\0' ? "the name ends there wherever it is shown or handed to the system, where it "
                              "reads as " + inQuotes(text.substr(0, at))
                            : "no one sees it in the name, and file names on Windows cannot hold it";
        add(path, line, column, Severity::Error,
            std::string(what) + " " + visibleInQuotes(text) + " holds the control character " + codePoint(*found) +
                " at character " + std::to_string(character) + ": " + consequence);
    }

    void checkSequence(const std::u16string& name) {
        const CsvFile file = readDataFile(name + std::u16string(kSequenceFileSuffix), false);
        std::map<std::u16string, std::vector<std::size_t>> labels;
        std::vector<std::pair<std::u16string, std::size_t>> targets;
        for (std::size_t index = 1; index < file.parse.table.size(); ++index) {
            const CsvRow& row = file.parse.table[index];
            if (isCommentRow(row)) {
                continue;
            }
            ++report_.summary.steps;
            const std::size_t line = file.lineOf(index);
            if (isEmptyLine(row)) {
                add(file.path, line, 0, Severity::Warning,
                    "an empty line is a step whose conditions hold and whose empty jump target names no "
                    "step: the sequence stays here for good");
                continue;
            }
            checkExpressionCell(file, line, row, 1, "transmit condition", EmptyCell::CountsAsTrue);
            checkExpressionCell(file, line, row, 3, "jump condition", EmptyCell::Allowed);
            labels[cell(row, 0)].push_back(line);
            if (const std::u16string frame = cell(row, 2); !frame.empty()) {
                checkName(file.path, line, 3, "frame name", frame);
                frameUses_[frame].push_back({file.path, line});
            }
            if (const std::u16string target = cell(row, 4); !target.empty()) {
                targets.emplace_back(target, line);
            }
        }
        for (const auto& [label, lines] : labels) {
            if (label.empty() || lines.size() < 2) {
                continue;
            }
            for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
                add(file.path, lines[i], 1, Severity::Warning,
                    "label " + inQuotes(label) + " appears again on line " + std::to_string(lines.back()) +
                        ": jumps go to the last step that carries it");
            }
        }
        for (const auto& [target, line] : targets) {
            if (labels.count(target) != 0) {
                continue;
            }
            std::string hint;
            const std::u16string trimmedTarget = trimText(target, kBlankCharacters);
            for (const auto& [label, lines] : labels) {
                if (!label.empty() && trimText(label, kBlankCharacters) == trimmedTarget) {
                    hint = " (labels are compared exactly: " + inQuotes(label) + " on line " +
                           std::to_string(lines.front()) + " differs in blanks)";
                    break;
                }
            }
            add(file.path, line, 5, Severity::Warning,
                "jump target " + inQuotes(target) + " matches no label: when the jump condition holds the "
                "sequence stays on this step" + hint);
        }
    }

    // Each row of the optional fault file must make a rule, and one the port can apply.
    void checkFaults(const std::u16string& name, PortKind kind) {
        const CsvFile file = readDataFile(name + std::u16string(kFaultFileSuffix), false);
        const bool stream = kind == PortKind::Serial || kind == PortKind::Tcp;
        for (std::size_t index = 1; index < file.parse.table.size(); ++index) {
            const CsvRow& row = file.parse.table[index];
            if (isCommentRow(row)) {
                continue;
            }
            const std::size_t line = file.lineOf(index);
            const FaultRowParse parse = parseFaultRow(row);
            if (!parse.rule) {
                add(file.path, line, parse.error.column, Severity::Error, parse.error.message + ": the fault is ignored");
                continue;
            }
            if (parse.rule->action == FaultAction::Split && !stream && kind != PortKind::None) {
                add(file.path, line, 3, Severity::Warning,
                    "split applies on serial and TCP ports only: on this port the fault never applies");
            }
        }
    }

    // Returns the number of named conditions the file gives.
    std::size_t checkNamedConditions(const std::u16string& name) {
        const CsvFile file = readDataFile(name + std::u16string(kNamedFileSuffix), false);
        // Log file key -> the first condition that gives it, and its line.
        std::map<std::u16string, std::pair<std::u16string, std::size_t>> logNames;
        std::size_t conditions = 0;
        for (std::size_t index = 1; index < file.parse.table.size(); ++index) {
            const CsvRow& row = file.parse.table[index];
            if (isCommentRow(row)) {
                continue;
            }
            ++report_.summary.namedConditions;
            ++conditions;
            const std::size_t line = file.lineOf(index);
            const std::u16string conditionName = cell(row, 0);
            bufferNames_.insert(conditionName);
            checkName(file.path, line, 1, "condition name", conditionName);
            checkReservedName(file.path, line, 1, "condition name", conditionName);
            checkLogName(file.path, line, conditionName, logNames);
            if (isEmptyLine(row)) {
                add(file.path, line, 0, Severity::Warning,
                    "an empty line is a named condition with an empty name that holds for every frame");
                continue;
            }
            checkExpressionCell(file, line, row, 1, "condition", EmptyCell::CountsAsTrue);
            checkExpressionCell(file, line, row, 2, "mark condition", EmptyCell::Allowed);
            checkExpressionCell(file, line, row, 3, "trigger condition", EmptyCell::Allowed);
        }
        return conditions;
    }

    // A word of the expression language never reads as a name, so no expression can read the
    // bytes stored under it.
    void checkReservedName(const std::string& path, std::size_t line, std::size_t column, std::string_view what,
                           std::u16string_view name) {
        if (isReservedWord(toNarrow(name))) {
            add(path, line, column, Severity::Warning,
                std::string(what) + " " + inQuotes(name) + " is a word of the expression language: no expression "
                "can read its bytes by that name; rename it");
        }
    }

    // Log files are named after their condition, cleaned of what file systems refuse: two names
    // that clean alike give log files that cannot be told apart.
    void checkLogName(const std::string& path, std::size_t line, const std::u16string& conditionName,
                      std::map<std::u16string, std::pair<std::u16string, std::size_t>>& logNames) {
        const auto [first, isNew] = logNames.try_emplace(logFileKey(conditionName), conditionName, line);
        if (isNew) {
            return;
        }
        const auto& [firstName, firstLine] = first->second;
        const std::u16string fileName = safeFileName(conditionName);
        const std::string where =
            safeFileName(firstName) == fileName ? "" : " on Windows, where file names ignore case";
        add(path, line, 1, Severity::Warning,
            "condition name " + visibleInQuotes(conditionName) + " gives the log file name " +
                inQuotes(fileName) + ", as " + visibleInQuotes(firstName) + " on line " +
                std::to_string(firstLine) + " does" + where + ": their log files cannot be told apart by name");
    }

    void checkFrame(const std::u16string& frameName, const std::vector<Use>& uses) {
        const std::optional<std::filesystem::path> path = frameFilePath(folder_, frameName);
        if (!path) {
            for (const Use& use : uses) {
                add(use.file, use.line, 3, Severity::Warning,
                    "frame " + inQuotes(frameName) +
                        " is not a file name in the data folder: no file is read and the step sends nothing");
            }
            return;
        }
        if (!uses.empty()) {
            checkReservedName(uses.front().file, uses.front().line, 3, "frame", frameName);
        }
        const CsvFile file = readFile(*path, false);
        if (!file.read) {
            for (const Use& use : uses) {
                add(use.file, use.line, 3, Severity::Warning,
                    "frame " + inQuotes(frameName) + " has no readable file " +
                        inQuotes(frameName + std::u16string(kFrameFileSuffix)) + ": the step sends nothing");
            }
            return;
        }
        ++report_.summary.frames;
        const CsvTable& table = file.parse.table;
        // The field whose placeholder rows come next: its line, width, and the row after them.
        std::size_t fieldLine = 0;
        int fieldWidth = 1;
        std::size_t skipUntil = 0;
        for (std::size_t index = 2; index < table.size(); ++index) {
            const CsvRow& row = table[index];
            const std::size_t line = file.lineOf(index);
            if (index < skipUntil) {
                if (row.size() > 1 && !row[1].empty()) {
                    add(file.path, line, 2, Severity::Warning,
                        "this row is never evaluated: its position holds " +
                            placeholderByte(fieldWidth, index - (skipUntil - static_cast<std::size_t>(fieldWidth))) +
                            " on line " + std::to_string(fieldLine));
                }
                continue;
            }
            if (!checkExpressionCell(file, line, row, 1, "field", EmptyCell::GivesByteFF, ExpressionPlace::FrameRow)) {
                continue;
            }
            CompiledExpression compiled;
            compileCell(row, 1, compiled, ExpressionPlace::FrameRow);
            const FieldLayout layout = fieldLayout(compiled);
            if (layout.widthUnknown) {
                add(file.path, line, 2, Severity::Warning,
                    "the CRC's width is known only when it runs, so the field is 1 byte: write the width as a "
                    "number for a field of its whole width");
            }
            if (layout.width > 1) {
                fieldLine = line;
                fieldWidth = layout.width;
                skipUntil = index + static_cast<std::size_t>(layout.width);
                if (skipUntil > table.size()) {
                    const std::size_t missing = skipUntil - table.size();
                    add(file.path, line, 2, Severity::Warning,
                        "this " + std::to_string(layout.width) + "-byte field has " +
                            std::to_string(layout.width - 1 - missing) + " of its " +
                            std::to_string(layout.width - 1) + " placeholder rows: the frame is built " +
                            std::to_string(missing) + (missing == 1 ? " byte" : " bytes") +
                            " longer than its rows; add empty rows after it");
                }
            }
        }
        if (table.size() > 2 && table.size() - 2 > kMaxFrameLength) {
            add(file.path, 0, 0, Severity::Warning,
                "the frame has " + std::to_string(table.size() - 2) + " rows: bytes beyond " +
                    std::to_string(kMaxFrameLength) + " are dropped");
        }
    }

    std::u16string folder_;
    CheckReport report_;
    PortChecks ports_;
    ExpressionChecks expressions_;
    std::map<std::u16string, std::vector<Use>> frameUses_;
    // Named conditions store the frame they recognise under their name, frames what they send
    // under theirs; all in one store that every environment reads.
    std::set<std::u16string> bufferNames_;
};

}  // namespace

CheckReport checkDataFolder(std::u16string_view dataFolder) { return FolderChecker(dataFolder).run(); }

std::string formatFinding(const Finding& finding) {
    return finding.file + ":" + std::to_string(finding.row) + ":" + std::to_string(finding.column) + ": " +
           severityText(finding.severity) + ": " + finding.message;
}

}  // namespace orvalix::cli
