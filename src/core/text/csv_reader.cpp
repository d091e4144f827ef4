#include "core/text/csv_reader.hpp"

#include "core/text/quote_rules.hpp"
#include "core/text/text_conversion.hpp"

#include <cerrno>
#include <fstream>
#include <system_error>
#include <utility>

namespace orvalix {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";

// The caller names the file; the message tells only what went wrong with it.
FileReadFailure decodingFailure(std::size_t offset, std::string_view encoding) {
    return {std::error_code(EILSEQ, std::generic_category()),
            "not valid " + std::string(encoding) + " at byte offset " + std::to_string(offset) +
                "; the file may be saved in another encoding (e.g. Shift-JIS)"};
}

// errno is the only cause the stream leaves behind; fall back when it has none.
FileReadFailure streamFailure(int fallback) {
    const std::error_code error(errno != 0 ? errno : fallback, std::generic_category());
    return {error, error.message()};
}

FileRead<std::string> readBytes(const std::filesystem::path& path) {
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        return {std::nullopt, streamFailure(ENOENT)};
    }
    std::string bytes;
    char chunk[16384];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        bytes.append(chunk, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        return {std::nullopt, streamFailure(EIO)};
    }
    return {std::move(bytes), {}};
}

void appendUtf16Le(std::string_view bytes, std::u16string& text) {
    text.reserve(text.size() + bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto low = static_cast<unsigned char>(bytes[i]);
        const auto high = static_cast<unsigned char>(bytes[i + 1]);
        text.push_back(static_cast<char16_t>(low | (high << 8)));
    }
}

bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Text mode: CR LF becomes LF; a CR anywhere else is an ordinary character.
void dropCrBeforeLf(std::u16string& text) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            continue;
        }
        text[out++] = text[i];
    }
    text.resize(out);
}

}  // namespace

CsvParse parseCsvText(std::u16string_view text) {
    CsvParse result;
    detail::QuoteRules rules;
    std::u16string cell;
    CsvRow row;
    std::size_t line = 1;
    std::size_t rowLine = 1;
    std::size_t character = 0;  // place of c on its line
    bool rowPending = false;
    bool previousIsQuote = false;
    for (const char16_t c : text) {
        rowPending = true;
        if (!isLowSurrogate(c)) {
            ++character;  // the second half of a pair is the same character
        }
        const bool wasInside = rules.insideQuotes();
        const auto action = rules.next(c);
        // A lone quote that enters a quoted section opens it; a doubled one continues it.
        if (c == u'"' && !previousIsQuote && !wasInside && rules.insideQuotes()) {
            result.openQuote = {line, row.size() + 1, character};
        }
        previousIsQuote = c == u'"';
        if (action == detail::QuoteRules::Action::Append) {
            cell.push_back(c);
        } else if (action == detail::QuoteRules::Action::Outside) {
            if (c == u',' || c == u'\n') {
                row.push_back(std::move(cell));
                cell.clear();
                rules.cellEnded();
            } else {
                cell.push_back(c);
            }
            if (c == u'\n') {
                result.table.push_back(std::move(row));
                row.clear();
                result.rowLines.push_back(rowLine);
                rowLine = line + 1;
                rowPending = false;
            }
        }
        if (c == u'\n') {
            ++line;
            character = 0;
        }
    }
    result.unterminatedLastRow = rowPending;
    if (!rules.insideQuotes()) {
        result.openQuote = {};
    }
    return result;
}

FileRead<std::u16string> readTextFile(const std::filesystem::path& path) {
    FileRead<std::string> bytes = readBytes(path);
    if (!bytes.contents) {
        return {std::nullopt, std::move(bytes.failure)};
    }
    std::string_view content = *bytes.contents;
    std::u16string text;
    if (content.starts_with(kUtf16LeBom)) {
        content.remove_prefix(kUtf16LeBom.size());
        if (content.size() % 2 != 0) {
            return {std::nullopt, decodingFailure(bytes.contents->size() - 1, "UTF-16LE")};
        }
        appendUtf16Le(content, text);
    } else {
        std::size_t bomSize = 0;
        if (content.starts_with(kUtf8Bom)) {
            bomSize = kUtf8Bom.size();
            content.remove_prefix(bomSize);
        }
        if (const auto bad = appendUtf8AsUtf16(content, text); bad != std::string_view::npos) {
            return {std::nullopt, decodingFailure(bomSize + bad, "UTF-8")};
        }
    }
    dropCrBeforeLf(text);
    return {std::move(text), {}};
}

FileRead<CsvTable> readCsvFile(const std::filesystem::path& path) {
    FileRead<std::u16string> text = readTextFile(path);
    if (!text.contents) {
        return {std::nullopt, std::move(text.failure)};
    }
    return {parseCsvText(*text.contents).table, {}};
}

}  // namespace orvalix
