#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "core/project/data_file_path.hpp"
#include "core/project/loaders.hpp"
#include "core/text/csv_reader.hpp"
#include "core/text/text_split.hpp"

namespace orvalix {
namespace {

// The whole table of one of the environment's files; nothing when it cannot be read.
std::optional<CsvTable> readEnvironmentTable(std::u16string_view dataFolder, std::u16string_view environmentName,
                                       std::u16string_view suffix) {
    const std::optional<std::filesystem::path> path =
        tryDataFilePath(dataFolder, std::u16string(environmentName) + std::u16string(suffix));
    if (!path) {
        return std::nullopt;
    }
    return readCsvFile(*path).contents;
}

// Every record row of one of the environment's files: row 0 is the header, comments are skipped.
template <typename Record>
void forEachRecordRow(std::u16string_view dataFolder, std::u16string_view environmentName,
                      std::u16string_view suffix, Record record) {
    std::optional<CsvTable> table = readEnvironmentTable(dataFolder, environmentName, suffix);
    if (!table) {
        return;
    }
    // Each row goes as soon as its record is made, so the next records can reuse its memory.
    for (std::size_t r = 1; r < table->size(); ++r) {
        if (!isCommentRow((*table)[r])) {
            record((*table)[r]);
        }
        CsvRow().swap((*table)[r]);
    }
}

}  // namespace

bool isCommentRow(const CsvRow& row) {
    if (row.empty()) {
        return false;
    }
    return trimText(row.front(), kBlankCharacters).starts_with(u';');
}

void readSequenceFile(std::u16string_view dataFolder, std::u16string_view environmentName,
                      std::vector<SequenceStep>& steps) {
    forEachRecordRow(dataFolder, environmentName, kSequenceFileSuffix, [&steps](const CsvRow& row) {
        SequenceStep step{RecordCells(row), {}, {}};
        compileCell(row, 1, step.txCondition);
        compileCell(row, 3, step.jumpCondition);
        steps.push_back(std::move(step));
    });
    steps.shrink_to_fit();
}

void readFaultFile(std::u16string_view dataFolder, std::u16string_view environmentName,
                   std::vector<FaultRule>& faults) {
    forEachRecordRow(dataFolder, environmentName, kFaultFileSuffix, [&faults](const CsvRow& row) {
        if (FaultRowParse parse = parseFaultRow(row); parse.rule) {
            faults.push_back(std::move(*parse.rule));
        }
    });
}

std::vector<std::size_t> sequenceFileRows(std::u16string_view dataFolder, std::u16string_view environmentName) {
    std::vector<std::size_t> rows;
    const std::optional<CsvTable> table = readEnvironmentTable(dataFolder, environmentName, kSequenceFileSuffix);
    for (std::size_t r = 1; table && r < table->size(); ++r) {
        if (!isCommentRow((*table)[r])) {
            rows.push_back(r + 1);
        }
    }
    return rows;
}

void readNamedFile(std::u16string_view dataFolder, std::u16string_view environmentName,
                   std::vector<NamedCondition>& conditions) {
    forEachRecordRow(dataFolder, environmentName, kNamedFileSuffix, [&conditions](const CsvRow& row) {
        NamedCondition condition{RecordCells(row), {}, {}, {}};
        compileCell(row, 1, condition.condition);
        compileCell(row, 2, condition.markCondition);
        compileCell(row, 3, condition.triggerCondition);
        conditions.push_back(std::move(condition));
    });
    conditions.shrink_to_fit();
}

}  // namespace orvalix
