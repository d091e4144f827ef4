#include "cli/coverage_text.hpp"

#include <algorithm>
#include <iomanip>
#include <string>
#include <vector>

#include "core/service/fault_injection.hpp"

namespace orvalix::cli {
namespace {

// Beyond these a summary would bury the verdict; --report has every line.
constexpr std::size_t kLinesShown = 20;

std::string stepTitle(const StepReport& step) {
    if (step.label.empty()) {
        return "step " + step.displayName();
    }
    return "step " + step.label + (step.row != 0 ? " (row " + std::to_string(step.row) + ")" : "");
}

template <class Items, class Print>
void printSome(std::ostream& out, const Items& items, std::string_view noun, Print print) {
    const std::size_t shown = std::min(items.size(), kLinesShown);
    for (std::size_t i = 0; i < shown; ++i) {
        print(items[i]);
    }
    if (items.size() > shown) {
        out << "    ... " << items.size() - shown << " more " << noun << " (see --report)\n";
    }
}

void padTo(std::ostream& out, const std::string& text, std::size_t width) {
    out << text << std::string(width > text.size() ? width - text.size() : 0, ' ') << "  ";
}

}  // namespace

void printReplyTimes(std::ostream& out, std::span<const EnvironmentReport> environments) {
    bool headed = false;
    for (const EnvironmentReport& environment : environments) {
        if (!environment.replies) {
            continue;
        }
        if (!headed) {
            out << "Reply times (a received frame to the next sent one):\n";
            headed = true;
        }
        const ReplyTimes::Summary& replies = *environment.replies;
        out << "  " << environment.name << ": " << replies.replies << (replies.replies == 1 ? " reply" : " replies")
            << std::fixed << std::setprecision(2) << ", p50 " << replies.p50Ms << " ms, p99 " << replies.p99Ms
            << " ms, max " << replies.maxMs << " ms\n"
            << std::defaultfloat;
    }
}

void printCoverage(std::ostream& out, std::span<const EnvironmentReport> environments) {
    out << "Coverage:\n";
    for (const EnvironmentReport& environment : environments) {
        if (environment.steps.empty() && environment.conditions.empty() && environment.faults.empty()) {
            out << "  " << environment.name << ": no steps, no named conditions\n";
            continue;
        }
        out << "  " << environment.name << ":\n";
        printSome(out, environment.steps, "steps", [&out](const StepReport& step) {
            out << "    " << stepTitle(step) << ": held " << step.counts.held << ", sent " << step.counts.sent
                << ", jumped " << step.counts.jumped << "\n";
        });
        printSome(out, environment.conditions, "named conditions", [&out](const ConditionReport& condition) {
            out << "    named " << condition.name << ": recognised " << condition.counts.recognised
                << ", mark rose " << condition.counts.markRises << ", trigger rose " << condition.counts.triggerRises
                << "\n";
        });
        for (const FaultReport& fault : environment.faults) {
            out << "    fault " << fault.name << " (" << fault.action << "): applied " << fault.applied << "\n";
        }
        if (environment.delayedDropped > 0) {
            out << "    " << environment.delayedDropped << " frames a fault held back found its queue of "
                << DelayedFrames::kSlots << " full and were not sent\n";
        }
        const std::vector<std::string> never = environment.neverFired();
        if (!never.empty()) {
            out << "    never:";
            const std::size_t shown = std::min(never.size(), kLinesShown);
            for (std::size_t i = 0; i < shown; ++i) {
                out << (i == 0 ? " " : ", ") << never[i];
            }
            out << (never.size() > shown ? ", ... " + std::to_string(never.size() - shown) + " more" : "") << "\n";
        }
    }
}

void printVerdict(std::ostream& out, std::span<const ExpectationOutcome> outcomes) {
    if (outcomes.empty()) {
        return;
    }
    std::vector<std::string> texts;
    std::size_t textWidth = std::string_view("EXPECTATION").size();
    std::size_t expectedWidth = std::string_view("EXPECTED").size();
    std::size_t gotWidth = std::string_view("GOT").size();
    for (const ExpectationOutcome& outcome : outcomes) {
        texts.push_back((outcome.until ? "until " : "") + outcome.expectation.text);
        textWidth = std::max(textWidth, texts.back().size());
        expectedWidth = std::max(expectedWidth, expectedText(outcome.expectation).size());
        gotWidth = std::max(gotWidth, std::to_string(outcome.got).size());
    }
    out << "Expectations:\n  ";
    padTo(out, "EXPECTATION", textWidth);
    padTo(out, "EXPECTED", expectedWidth);
    padTo(out, "GOT", gotWidth);
    out << "RESULT\n";
    std::size_t failed = 0;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        out << "  ";
        padTo(out, texts[i], textWidth);
        padTo(out, expectedText(outcomes[i].expectation), expectedWidth);
        padTo(out, std::to_string(outcomes[i].got), gotWidth);
        out << (outcomes[i].passed ? "PASS" : "FAIL") << "\n";
        failed += outcomes[i].passed ? 0 : 1;
    }
    if (failed == 0) {
        out << "Verdict: PASS (" << outcomes.size() << " of " << outcomes.size() << " hold)\n";
    } else {
        out << "Verdict: FAIL (" << failed << " of " << outcomes.size() << " failed)\n";
    }
}

}  // namespace orvalix::cli
