// Feeds an expression text and named byte buffers to the compiler and the evaluator. The
// input is "TEXT\0BUFFERS": the text ends at its first NUL, as compileExpression reads it;
// BUFFERS are up to four pieces split at 0x1E, each "NAME=BYTES" or, without "=", bytes named
// R, T, S and U in turn. The text is compiled both as a value and as a frame row, the one
// place a COPY may stand, and the two compiles must agree.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/expression/compile_expression.hpp"
#include "core/expression/evaluate_expression.hpp"
#include "core/expression/field_layout.hpp"
#include "core/expression/operator_grouping.hpp"
#include "fuzz_input.hpp"

namespace {

using orvalix::fuzz::require;

constexpr std::u16string_view kDefaultNames[] = {u"R", u"T", u"S", u"U"};

std::u16string widen(std::string_view name) {
    std::u16string wide;
    for (const char c : name) {
        wide.push_back(static_cast<unsigned char>(c));
    }
    return wide;
}

orvalix::EvaluationContext makeContext(std::string_view buffers) {
    orvalix::EvaluationContext context;
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    context.times.values = {kMax, -5000, 123456789};
    context.activity[0] = {kMin, 4999};
    const std::vector<std::string_view> pieces = orvalix::fuzz::splitPieces(buffers, std::size(kDefaultNames));
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        std::string_view bytes = pieces[i];
        std::u16string name(kDefaultNames[i]);
        if (const std::size_t equals = bytes.find('='); equals != std::string_view::npos) {
            name = widen(bytes.substr(0, equals));
            bytes.remove_prefix(equals + 1);
        }
        // The buffers outlive the context: they point into the fuzzer's input.
        orvalix::setNamedBytes(context.names, name, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                               static_cast<std::uint32_t>(bytes.size()));
    }
    return context;
}

// A grouping shown for a chain that C would read otherwise is the same program, and C reads it
// as it runs.
void requireGroupingShownIsTheProgram(std::string_view text, const orvalix::CompiledExpression& compiled) {
    const std::optional<std::string> message = orvalix::describeOperatorGrouping(text);
    if (!message) {
        return;
    }
    constexpr std::string_view kPrefix = "evaluates as ";
    constexpr std::string_view kSuffix = " (strictly left to right, not by C operator precedence): add parentheses";
    require(message->starts_with(kPrefix) && message->ends_with(kSuffix), "the message has its form");
    const std::string grouped = message->substr(kPrefix.size(), message->size() - kPrefix.size() - kSuffix.size());
    // Parentheses and decimal numbers may take the text past what is read.
    if (grouped.size() >= orvalix::kMaxExpressionLength) {
        return;
    }
    require(orvalix::compileExpression(grouped).program == compiled, "the grouping shown is the program");
    require(!orvalix::describeOperatorGrouping(grouped), "C reads the grouping shown as it runs");
}

using Compile = orvalix::Compilation<orvalix::CompiledExpression>;

Compile compileIn(std::string_view text, orvalix::ExpressionPlace place) {
    Compile compile = orvalix::compileExpression(text, place);
    require(compile.program.has_value() == (compile.diagnostic.status == orvalix::CompileStatus::Compiled),
            "a program comes exactly with a diagnostic of no failure");
    if (!compile.program) {
        const orvalix::CompileDiagnostic& diagnostic = compile.diagnostic;
        require(diagnostic.position <= text.size() &&
                    text.substr(diagnostic.position, diagnostic.tokenText.size()) == diagnostic.tokenText,
                "the diagnostic's token lies in the text");
        (void)orvalix::describeCompileFailure(diagnostic);
    } else {
        require(!compile.program->empty(), "a compiled expression has a program");
    }
    return compile;
}

bool isCopy(const orvalix::CompiledExpression& program) {
    return program.lastRule() == static_cast<std::int32_t>(orvalix::GrammarRuleId::Copy);
}

// Only a COPY that is the whole text tells the two places apart.
void checkPlacesAgree(const Compile& value, const Compile& row) {
    const orvalix::CompileStatus misplaced = orvalix::CompileStatus::MisplacedCopy;
    if (value.program) {
        require(row.program == value.program, "a value compiles to the same program as a row");
    } else if (value.diagnostic.status != misplaced) {
        require(row.diagnostic.status == value.diagnostic.status &&
                    row.diagnostic.position == value.diagnostic.position &&
                    row.diagnostic.tokenText == value.diagnostic.tokenText,
                "a text that fails as a value for other than a COPY fails alike as a row");
    } else {
        require(row.program ? isCopy(*row.program) : row.diagnostic.status == misplaced,
                "a COPY refused as a value is a row's whole COPY or refused there too");
    }
}

// The bytes lie within the buffer the program's COPY names, and their count is its value.
void checkCopy(const orvalix::CompiledExpression& program, const orvalix::EvaluationContext& context,
               std::int64_t value, std::span<const std::uint8_t> copied) {
    if (!isCopy(program)) {
        require(copied.empty(), "only a COPY copies");
        return;
    }
    require(value == -1 ? copied.empty() : value >= 0 && copied.size() == static_cast<std::uint64_t>(value),
            "a COPY's value is the count of the bytes it gives, or -1 when it gives none");
    if (copied.empty()) {
        return;
    }
    require(program.flat() && program.instructions().back().kind == orvalix::InstructionKind::Copy,
            "a flat COPY ends with its copy");
    const auto place = static_cast<std::size_t>(program.instructions().back().code);
    const auto named = context.names.find(program.names().at(place).text);
    require(named != context.names.end(), "a COPY gives bytes only of a known name");
    const std::less_equal<const std::uint8_t*> notAfter;
    const orvalix::NamedBytes& buffer = named->second;
    require(notAfter(buffer.data, copied.data()) &&
                notAfter(copied.data() + copied.size(), buffer.data + buffer.length),
            "a COPY's bytes lie within its buffer");
}

// What a field's width and its value's range follow from.
void checkLayout(const orvalix::CompiledExpression& flat, const orvalix::CompiledExpression& reductionsOnly,
                 std::int64_t value) {
    const orvalix::FieldLayout layout = orvalix::fieldLayout(flat);
    require(layout.copies == isCopy(flat) &&
                (layout.copies ? layout.width == 0 : layout.width >= 1 && layout.width <= 8),
            "a field is a COPY or one to eight bytes");
    // Without its flat form a generic CRC cannot tell a constant width from another.
    if (flat.lastRule() != static_cast<std::int32_t>(orvalix::GrammarRuleId::Crc)) {
        require(orvalix::fieldLayout(reductionsOnly) == layout, "both forms lay a field out alike");
    }
    if (flat.lastRule() == static_cast<std::int32_t>(orvalix::GrammarRuleId::ByteOrder) ||
        flat.lastRule() == static_cast<std::int32_t>(orvalix::GrammarRuleId::CrcPreset)) {
        const int bits = layout.width * 8;
        require(value == -1 || (value >= 0 && value < (std::int64_t{1} << bits)),
                "a byte-order function or a CRC preset fits its field, or is -1");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = orvalix::fuzz::asText({data, size});
    const std::size_t nul = input.find('\0');
    const std::string_view text = input.substr(0, nul);
    const std::string_view buffers = nul == std::string_view::npos ? std::string_view{} : input.substr(nul + 1);

    const Compile value = compileIn(text, orvalix::ExpressionPlace::Value);
    const Compile row = compileIn(text, orvalix::ExpressionPlace::FrameRow);
    checkPlacesAgree(value, row);
    if (!row.program) {
        return 0;
    }
    const orvalix::CompiledExpression& compiled = *row.program;

    const orvalix::EvaluationContext context = makeContext(buffers);
    const std::int64_t result = orvalix::evaluateExpression(compiled, context);
    require(orvalix::evaluateExpression(compiled, context) == result, "evaluation is repeatable");
    // Without its flat form a program runs from its reductions, and must give the same value.
    const std::optional<std::vector<orvalix::Reduction>> reductions =
        orvalix::compileReductions(text, orvalix::ExpressionPlace::FrameRow).program;
    require(reductions.has_value(), "the text reduces again");
    const orvalix::CompiledExpression reductionsOnly(*reductions);
    require(orvalix::evaluateExpression(reductionsOnly, context) == result,
            "the flat form agrees with the reductions");

    const std::span<const std::uint8_t> copied = orvalix::evaluateCopy(compiled, context);
    const std::span<const std::uint8_t> copiedAgain = orvalix::evaluateCopy(reductionsOnly, context);
    require(copied.data() == copiedAgain.data() && copied.size() == copiedAgain.size(),
            "both forms copy the same bytes");
    if (compiled.flat()) {
        checkCopy(compiled, context, result, copied);
        checkLayout(compiled, reductionsOnly, result);
    }

    require(orvalix::flattenProgram(*reductions) == compiled,
            "flattening the reductions gives the compiled program");
    requireGroupingShownIsTheProgram(text, compiled);
    return 0;
}
