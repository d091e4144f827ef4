#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <exception>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "cli/byte_count_argument.hpp"
#include "cli/command_start.hpp"
#include "cli/commands.hpp"
#include "cli/console_sink.hpp"
#include "cli/coverage_text.hpp"
#include "cli/json_lines_sink.hpp"
#include "cli/record_line.hpp"
#include "cli/run_verdict.hpp"
#include "core/diagnostics/execution_trace.hpp"
#include "core/diagnostics/trace_messages.hpp"
#include "core/platform/interrupt.hpp"
#include "core/platform/module_path.hpp"
#include "core/platform/user_language.hpp"
#include "core/session/session.hpp"
#include "core/text/text_conversion.hpp"
#include "core/verdict/junit_xml.hpp"
#include "core/verdict/report_json.hpp"

namespace orvalix::cli {
namespace {

using Clock = std::chrono::steady_clock;

// The main window's pump timer.
constexpr auto kTickPeriod = std::chrono::milliseconds(333);
// Longer runs are what Ctrl-C is for; the bound keeps the deadline arithmetic in range.
constexpr double kLongestRunSeconds = 100.0 * 365 * 24 * 3600;

// How often the --until expectations are looked at: the counts move once a service cycle.
constexpr auto kUntilPoll = std::chrono::milliseconds(20);
// Expectations failed: a test rig's "the equipment did not do what it should".
constexpr int kExitExpectationFailed = 3;

constexpr std::string_view kHelp =
    "Usage: orvalix-cli run FOLDER [--for SECONDS] [--trace-dir DIR] [--quiet]\n"
    "                           [--max-ring-memory BYTES] [--expect EXPR ...]\n"
    "                           [--until EXPR ...] [--report FILE] [--junit FILE]\n"
    "                           [--pcap FILE]\n"
    "                           [--format text|jsonl] [--seed N] [--on-arrival]\n"
    "\n"
    "Runs the data folder as the simulator's Start does: every usable environment's port\n"
    "is opened and served by the 10 ms service cycle, and every 333 ms the traffic is\n"
    "pumped into the histories and printed, one line per frame:\n"
    "\n"
    "  ENVIRONMENT DATE TIME RX|TX LENGTH ATTRIBUTE BYTES... [marks: NAME, ...]\n"
    "\n"
    "Trigger recordings write their log files under FOLDER/Logs, and a line says so.\n"
    "A port that goes away (a device unplugged) gets a line and stays closed while the\n"
    "run goes on; on Linux, UDP datagrams the system dropped get a line a second.\n"
    "Ctrl-C, a termination request, a closed terminal, a standard output that takes no\n"
    "more (a closed pipe, a full device) or the end of --for stops the run; one last pump\n"
    "follows, then a summary per environment. The traces Primary.csv (this program's\n"
    "pump) and Controller.csv (the service thread) are written to the trace folder.\n"
    "\n"
    "Options:\n"
    "  --for SECONDS     stop after this many seconds (a number above 0, such as 10 or 2.5)\n"
    "  --trace-dir DIR   the trace folder, an existing folder (default: the folder of\n"
    "                    orvalix-cli)\n"
    "  --quiet           no line per frame; the header, log file lines and summary stay\n"
    "  --max-ring-memory BYTES\n"
    "                    the most memory one environment's traffic history may take\n"
    "                    (a number above 0, with K, M or G for 1024, 1024^2, 1024^3;\n"
    "                    default 1G); an environment that needs more fails the start\n"
    "  --expect EXPR     an expectation judged when the run ends (repeatable):\n"
    "                      ENV:received OP N   frames received\n"
    "                      ENV:sent OP N       frames sent\n"
    "                      ENV:NAME OP N       records at which named condition NAME's\n"
    "                                          mark rose\n"
    "                      ENV:step:LABEL OP N frames the steps labelled LABEL sent\n"
    "                    with OP one of >=, <=, ==, >, < (quote it for the shell)\n"
    "  --until EXPR      end the run as soon as every --until holds (repeatable; --for\n"
    "                    stays the time limit); one that never held fails the run\n"
    "  --report FILE     write the run's coverage and expectations as JSON\n"
    "  --junit FILE      write the expectations as JUnit XML for a CI server\n"
    "  --pcap FILE       also write every record to FILE in pcapng, one interface per\n"
    "                    environment (UDP and TCP as IPv4 packets between the real\n"
    "                    endpoints, serial lines as USER0, HDLC as USER1), flushed after\n"
    "                    each pump; a write that fails stops the capture, not the run\n"
    "  --format text|jsonl\n"
    "                    text (the default): the lines above; jsonl: one JSON object a\n"
    "                    line on the standard output per frame and per event, and the\n"
    "                    header, the other lines and the summary on the error output;\n"
    "                    --quiet then leaves out the frames, not the events\n"
    "  --seed N          seeds the draws of the fault files' probabilities (a number from\n"
    "                    0 to 2^64-1; default 1): the same seed, the same faults\n"
    "  --on-arrival      answer on arrival: besides the 10 ms cycle, a port's data is\n"
    "                    taken the moment it comes, and a serial or TCP frame ends the\n"
    "                    moment its character time-out expires (board channels keep to\n"
    "                    the cycle)\n"
    "\n"
    "After the summary, the coverage: per environment how often each step's transmit\n"
    "condition held, how often it sent and jumped, what each named condition recognised\n"
    "and marked, and a \"never\" line for what never fired; then the expectations.\n"
    "\n"
    "Exit status: 0 after a normal stop with every expectation holding, 1 when the run\n"
    "ended by itself with an error (a port that cannot be opened, a traffic history above\n"
    "the memory limit; the text goes to the error output) or the standard output failed\n"
    "or the --pcap file cannot be made, 2 usage error, 3 when an expectation failed.\n";

constexpr OptionSpec kOptions[] = {
    {"--for", true},    {"--trace-dir", true}, {"--quiet", false}, {"--max-ring-memory", true},
    {"--expect", true}, {"--until", true},     {"--report", true}, {"--junit", true},
    {"--pcap", true},   {"--format", true},    {"--seed", true},  {"--on-arrival", false},
};

enum class OutputFormat { Text, JsonLines };

bool hasFaults(const EnvironmentMap& environments) {
    return std::ranges::any_of(environments, [](const auto& entry) { return !entry.second.faults.empty(); });
}

std::optional<Clock::duration> parseSeconds(const std::string& text) {
    double seconds = 0.0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, seconds, std::chars_format::fixed);
    if (error != std::errc{} || stop != end || !std::isfinite(seconds) || seconds <= 0.0 ||
        seconds > kLongestRunSeconds) {
        return std::nullopt;
    }
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

std::filesystem::path pathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// Standard output that takes no more (a reader that went away, a full device) is a stop
// request: the run ends in order, and the error output says why.
class OutputWatch {
public:
    explicit OutputWatch(std::ostream& out) : out_(out) {}

    // Call before writing: what fails next is the reason kept.
    void expectWrites() { errno = 0; }
    // Flushes; true once a write has failed.
    bool failed() {
        if (!failed_) {
            out_.flush();
            if (!out_) {
                failed_ = true;
                reason_ = errno;
            }
        }
        return failed_;
    }
    // " (Broken pipe)", or nothing when the system gave no reason.
    std::string reason() const {
        return reason_ == 0 ? std::string{} : " (" + std::generic_category().message(reason_) + ")";
    }

private:
    std::ostream& out_;
    bool failed_ = false;
    int reason_ = 0;
};

// What the command line asks of a run.
struct RunRequest {
    std::u16string folder;
    ServiceOptions serviceOptions;
    std::optional<Clock::duration> duration;
    bool quiet = false;
    std::vector<std::string> expectTexts;
    std::vector<std::string> untilTexts;
    std::optional<std::filesystem::path> reportFile;
    std::optional<std::filesystem::path> junitFile;
    std::optional<std::filesystem::path> pcapFile;
    OutputFormat format = OutputFormat::Text;
};

// Why the run stopped when nothing went wrong.
enum class StopReason { Request, UntilsHold };

// Ticks every 333 ms while the pump is armed, as the main window's timer does. A stop
// request, the deadline or every --until holding stops the service at once; the next tick is
// then the last.
StopReason pumpUntilEnd(Session& session, const platform::InterruptRequests& interrupts,
                        std::optional<Clock::time_point> deadline, OutputWatch& output,
                        const RunExpectations& expectations, std::ostream& err) {
    Clock::time_point nextTick = Clock::now() + kTickPeriod;
    bool stopped = false;
    StopReason reason = StopReason::Request;
    while (session.pumpArmed()) {
        const Clock::time_point now = Clock::now();
        if (!stopped && untilsHold(session, expectations)) {
            reason = StopReason::UntilsHold;
        }
        if (!stopped && (interrupts.requested() || (deadline && now >= *deadline) || output.failed() ||
                         reason == StopReason::UntilsHold)) {
            session.stop();
            stopped = true;
            continue;
        }
        if (now >= nextTick) {
            output.expectWrites();
            session.tick();
            output.failed();
            if (const auto failure = session.takeCaptureFailure()) {
                err << "capture stopped: " << displayPath(failure->file) << ": " << failure->error.message()
                    << "\n";
                err.flush();
            }
            nextTick = Clock::now() + kTickPeriod;
            continue;
        }
        Clock::time_point wakeAt = nextTick;
        if (!stopped && deadline) {
            wakeAt = std::min(wakeAt, *deadline);
        }
        if (!stopped && !expectations.until.empty()) {
            wakeAt = std::min(wakeAt, now + kUntilPoll);
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wakeAt - now);
        if (stopped) {
            std::this_thread::sleep_for(wait);  // a request already made wakes nothing any more
        } else {
            interrupts.waitFor(wait);
        }
    }
    return reason;
}

// Writes the whole text, or says on the error output why it could not.
bool writeReportFile(const std::filesystem::path& file, const std::string& text, Console console) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
        console.err << "orvalix-cli run: cannot write " << displayPath(file) << "\n";
        return false;
    }
    return true;
}

// A report file that cannot be made is found before the run, not after it.
std::optional<std::string> unwritable(const std::optional<std::filesystem::path>& file,
                                      std::string_view option) {
    if (!file) {
        return std::nullopt;
    }
    errno = 0;
    const std::ofstream probe(*file, std::ios::binary | std::ios::trunc);
    if (probe) {
        return std::nullopt;
    }
    const std::string reason = errno != 0 ? " (" + std::generic_category().message(errno) + ")" : "";
    return std::string(option) + " '" + displayPath(*file) + "' cannot be written" + reason;
}

int runFolder(const RunRequest& request, Console console) {
    const std::filesystem::path& traceFolder = request.serviceOptions.traceFolder;
    ExecutionTrace trace(trace_messages::kPrimaryTraceCapacity);
    trace.record(trace_messages::kStartApplication);
    // JSON lines keep the standard output to themselves: the text goes to the error output.
    const bool jsonLines = request.format == OutputFormat::JsonLines;
    std::ostream& text = jsonLines ? console.err : console.out;
    ConsoleSink textSink({text, console.err}, request.quiet || jsonLines);
    std::optional<JsonLinesSink> jsonSink;
    if (jsonLines) {
        jsonSink.emplace(console.out, request.quiet, textSink);
    }
    TrafficSink& sink = jsonSink ? static_cast<TrafficSink&>(*jsonSink) : textSink;
    // Before the first line: from here on a closed pipe is a failed write, not the end.
    const platform::InterruptRequests interrupts;
    OutputWatch output(console.out);
    int status = kExitSuccess;
    {
        Session session(trace, sink, request.serviceOptions);
        output.expectWrites();
        session.open(request.folder);  // prints the header
        output.failed();
        const RunExpectationsParse expectations =
            parseRunExpectations(session, request.expectTexts, request.untilTexts);
        if (!expectations.error.empty()) {
            return usageError(console, "run", expectations.error);
        }
        if (request.pcapFile) {
            if (const std::error_code error = session.startCapture(*request.pcapFile)) {
                console.err << "orvalix-cli run: can't write the capture " << displayPath(*request.pcapFile)
                            << ": " << error.message() << "\n";
                return kExitFailure;
            }
        }
        const auto started = std::chrono::system_clock::now();
        const Clock::time_point startedSteady = Clock::now();
        if (!session.start()) {
            console.err << "orvalix-cli run: the data folder " << toNarrow(request.folder) << " is gone\n";
            return kExitFailure;
        }
        output.expectWrites();
        if (hasFaults(*session.project().environments)) {
            text << "Fault seed: " << request.serviceOptions.faultSeed << " (--seed "
                 << request.serviceOptions.faultSeed << " repeats this run's draws)\n";
        }
        if (request.serviceOptions.onArrival) {
            text << "Answering on arrival: ports are served the moment data comes, besides the 10 ms cycle\n";
        }
        if (request.duration) {
            text << "Running for " << std::chrono::duration<double>(*request.duration).count()
                 << " s; Ctrl-C stops the run.\n";
        } else {
            text << "Running; Ctrl-C stops the run.\n";
        }
        output.failed();
        const std::optional<Clock::time_point> deadline =
            request.duration ? std::optional(Clock::now() + *request.duration) : std::nullopt;
        const StopReason reason =
            pumpUntilEnd(session, interrupts, deadline, output, expectations.expectations, console.err);
        const bool failed = !textSink.serviceError().empty();
        text << (failed                             ? "The run ended with an error.\n"
                 : reason == StopReason::UntilsHold ? "Stopped: every --until holds.\n"
                                                    : "Stopped.\n");
        textSink.printSummary();
        RunReport report = collectRunReport(session, expectations.expectations, textSink.serviceError());
        printReplyTimes(text, report.environments);
        printCoverage(text, report.environments);
        printVerdict(text, report.expectations);
        status = failed ? kExitFailure : report.allPassed() ? kExitSuccess : kExitExpectationFailed;
        if (output.failed()) {
            console.err << "orvalix-cli run: the standard output takes no more" << output.reason()
                        << ": the run was stopped\n";
            status = kExitFailure;
        }
        report.started = isoUtcTime(started);
        report.ended = isoUtcTime(std::chrono::system_clock::now());
        report.seconds = std::chrono::duration<double>(Clock::now() - startedSteady).count();
        report.exitStatus = status;
        report.seed = request.serviceOptions.faultSeed;
        if ((request.reportFile && !writeReportFile(*request.reportFile, runReportJson(report), console)) ||
            (request.junitFile && !writeReportFile(*request.junitFile, junitXml(report), console))) {
            status = kExitFailure;
        }
    }
    const std::filesystem::path primary =
        traceFolder / pathOf(std::string(trace_messages::kPrimaryTraceFile));
    if (!trace.dumpToFile(primary)) {
        console.err << "orvalix-cli run: cannot write " << displayPath(primary) << "\n";
    }
    return status;
}

}  // namespace

int runRunCommand(std::span<const std::string> arguments, Console console) {
    const CommandStart start = startCommand(
        arguments, {.name = "run", .help = kHelp, .options = kOptions, .minPositional = 1, .maxPositional = 1,
                    .positionalError = "one FOLDER is needed", .folderFirst = true},
        console);
    if (start.exitStatus) {
        return *start.exitStatus;
    }
    const ParsedArguments& parsed = start.parsed;
    const std::u16string& folder = start.folder;
    std::optional<Clock::duration> duration;
    if (const auto values = parsed.values("--for"); !values.empty()) {
        duration = parseSeconds(values.back());
        if (!duration) {
            return usageError(console, "run",
                              "--for needs a number of seconds above 0, not '" + values.back() + "'");
        }
    }
    std::filesystem::path traceFolder = platform::executableFolder();
    if (const auto values = parsed.values("--trace-dir"); !values.empty()) {
        traceFolder = pathOf(values.back());
        std::error_code error;
        if (values.back().empty() || !std::filesystem::is_directory(traceFolder, error)) {
            return usageError(console, "run", "--trace-dir '" + values.back() + "' is not a folder");
        }
    }
    ServiceOptions serviceOptions{traceFolder, platform::userLanguage()};
    serviceOptions.onArrival = parsed.has("--on-arrival");
    if (const auto values = parsed.values("--max-ring-memory"); !values.empty()) {
        const std::optional<std::uint64_t> limit = parseByteCount(values.back());
        if (!limit) {
            return usageError(
                console, "run",
                "--max-ring-memory needs a number of bytes above 0 (K, M or G may follow), not '" +
                    values.back() + "'");
        }
        serviceOptions.maxRingMemory = *limit;
    }
    RunRequest request{folder,
                       serviceOptions,
                       duration,
                       parsed.has("--quiet"),
                       parsed.values("--expect"),
                       parsed.values("--until"),
                       {},
                       {},
                       {},
                       OutputFormat::Text};
    if (const auto values = parsed.values("--pcap"); !values.empty()) {
        if (values.back().empty()) {
            return usageError(console, "run", "--pcap needs a file name");
        }
        request.pcapFile = pathOf(values.back());
    }
    if (const auto values = parsed.values("--seed"); !values.empty()) {
        const std::optional<std::uint64_t> seed = parseFaultSeed(values.back());
        if (!seed) {
            return usageError(console, "run", "--seed needs a whole number from 0 to 18446744073709551615, not '" +
                                                  values.back() + "'");
        }
        request.serviceOptions.faultSeed = *seed;
    }
    if (const auto values = parsed.values("--format"); !values.empty()) {
        if (values.back() == "jsonl") {
            request.format = OutputFormat::JsonLines;
        } else if (values.back() != "text") {
            return usageError(console, "run", "--format needs text or jsonl, not '" + values.back() + "'");
        }
    }
    for (auto [option, file] :
         {std::pair{"--report", &request.reportFile}, std::pair{"--junit", &request.junitFile}}) {
        if (const auto values = parsed.values(option); !values.empty()) {
            *file = pathOf(values.back());
            if (const std::optional<std::string> error = unwritable(*file, option)) {
                return usageError(console, "run", *error);
            }
        }
    }
    try {
        return runFolder(request, console);
    } catch (const std::exception& failure) {
        console.err << "orvalix-cli run: " << failure.what() << "\n";
        return kExitFailure;
    }
}

}  // namespace orvalix::cli
