// Feeds an expression text and named byte buffers to the compiler and the evaluator. The
// input is "TEXT\0BUFFERS": the text ends at its first NUL, as compileExpression reads it;
// BUFFERS are up to four pieces split at 0x1E, each "NAME=BYTES" or, without "=", bytes named
// R, T, S and U in turn.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/expression/compile_expression.hpp"
#include "core/expression/evaluate_expression.hpp"
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
    orvalix::CompiledExpression regrouped;
    require(orvalix::compileExpression(grouped, regrouped) == 0 && regrouped == compiled,
            "the grouping shown is the program");
    require(!orvalix::describeOperatorGrouping(grouped), "C reads the grouping shown as it runs");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = orvalix::fuzz::asText({data, size});
    const std::size_t nul = input.find('\0');
    const std::string_view text = input.substr(0, nul);
    const std::string_view buffers = nul == std::string_view::npos ? std::string_view{} : input.substr(nul + 1);

    // A failed compile must leave the output as it was.
    orvalix::CompiledExpression untouched;
    untouched.reductions.push_back(orvalix::Reduction{99, {}});
    orvalix::CompiledExpression compiled = untouched;
    orvalix::CompileDiagnostic diagnostic;
    const int status = orvalix::compileExpression(text, compiled, diagnostic);
    require(status == static_cast<int>(diagnostic.status), "the status and the diagnostic agree");
    if (status != 0) {
        require(compiled == untouched, "a failed compile leaves its output unchanged");
        require(diagnostic.position <= text.size() &&
                    text.substr(diagnostic.position, diagnostic.tokenText.size()) == diagnostic.tokenText,
                "the diagnostic's token lies in the text");
        (void)orvalix::describeCompileFailure(diagnostic);
        return 0;
    }
    require(!compiled.empty(), "a compiled expression has a program");

    const orvalix::EvaluationContext context = makeContext(buffers);
    const std::int64_t value = orvalix::evaluateExpression(compiled, context);
    require(orvalix::evaluateExpression(compiled, context) == value, "evaluation is repeatable");
    // Without its flat form a program runs from its reductions, and must give the same value.
    orvalix::CompiledExpression reductionsOnly;
    orvalix::CompileDiagnostic again;
    require(orvalix::compileReductions(text, reductionsOnly.reductions, again) == 0, "the text reduces again");
    require(orvalix::evaluateExpression(reductionsOnly, context) == value, "the flat form agrees with the reductions");
    orvalix::flattenProgram(reductionsOnly);
    require(reductionsOnly == compiled, "flattening the reductions gives the compiled program");
    requireGroupingShownIsTheProgram(text, compiled);
    return 0;
}
