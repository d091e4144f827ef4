#include <array>
#include <cstdio>
#include <string>

#include "cli/command_start.hpp"
#include "cli/commands.hpp"
#include "cli/named_bytes_argument.hpp"
#include "core/expression/compile_expression.hpp"
#include "core/expression/evaluate_expression.hpp"
#include "core/expression/field_layout.hpp"

namespace orvalix::cli {
namespace {

constexpr std::string_view kHelp =
    "Usage: orvalix-cli eval [--bytes NAME=HEX ...] [--] EXPRESSION\n"
    "\n"
    "Compiles and evaluates one expression and prints its value in decimal and as\n"
    "16 hexadecimal digits. Several arguments are joined by blanks, so 'eval 1 + 2'\n"
    "works as well as 'eval \"1 + 2\"'. An expression may begin with '-' ('eval -1');\n"
    "write '--' before it when it begins with '--'.\n"
    "\n"
    "Options:\n"
    "  --bytes NAME=HEX   register a byte buffer under NAME, two hexadecimal digits per\n"
    "                     byte (e.g. --bytes R=02414203); may be given several times\n"
    "\n"
    "Time keywords read 0 (no run is going on); SinceLastRx and SinceLastTx read -1.\n"
    "A COPY, which only a frame row may be, prints the bytes it copies.\n"
    "Exit status: 0 evaluated, 1 the expression does not compile, 2 usage error.\n";

constexpr std::array kOptions{OptionSpec{"--bytes", true}};

std::string hexDigits(std::int64_t value) {
    std::array<char, 17> digits{};
    std::snprintf(digits.data(), digits.size(), "%016llX",
                  static_cast<unsigned long long>(static_cast<std::uint64_t>(value)));
    return digits.data();
}

std::string copiedBytesText(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        return "no bytes (the range is empty or lies outside the buffer, or the name is unknown)";
    }
    std::string text = std::to_string(bytes.size()) + (bytes.size() == 1 ? " byte:" : " bytes:");
    for (const std::uint8_t byte : bytes) {
        std::array<char, 4> digits{};
        std::snprintf(digits.data(), digits.size(), " %02x", byte);
        text += digits.data();
    }
    return text;
}

}  // namespace

int runEvalCommand(std::span<const std::string> arguments, Console console) {
    const CommandStart start = startCommand(
        arguments, {.name = "eval", .help = kHelp, .options = kOptions, .minPositional = 1,
                    .positionalError = "an EXPRESSION is needed"},
        console);
    if (start.exitStatus) {
        return *start.exitStatus;
    }
    const ParsedArguments& parsed = start.parsed;
    const ArgumentRead<std::vector<NamedBytesArgument>> buffers =
        parseNamedBytesArguments(parsed.values("--bytes"));
    if (!buffers.value) {
        return usageError(console, "eval", buffers.error);
    }
    std::string text;
    for (const std::string& piece : parsed.positional) {
        text += (text.empty() ? "" : " ") + piece;
    }
    const Compilation<CompiledExpression> compilation = compileExpression(text, ExpressionPlace::FrameRow);
    if (!compilation.program) {
        console.err << "orvalix-cli eval: \"" << text
                    << "\" does not compile: " << describeCompileFailure(compilation.diagnostic) << "\n";
        return kExitFailure;
    }
    const CompiledExpression& expression = *compilation.program;
    EvaluationContext context;
    registerNamedBytes(*buffers.value, context.names);
    if (fieldLayout(expression).copies) {
        console.out << copiedBytesText(evaluateCopy(expression, context)) << "\n";
        return kExitSuccess;
    }
    const std::int64_t value = evaluateExpression(expression, context);
    console.out << value << " (0x" << hexDigits(value) << ")\n";
    return kExitSuccess;
}

}  // namespace orvalix::cli
