#include "core/verdict/report_json.hpp"

#include <array>
#include <charconv>

#include "core/text/json_text.hpp"

namespace orvalix {
namespace {

// Builds one object's members, commas and all.
class JsonObject {
public:
    explicit JsonObject(std::string& out) : out_(out) { out_ += '{'; }
    ~JsonObject() { out_ += '}'; }
    JsonObject(const JsonObject&) = delete;
    JsonObject& operator=(const JsonObject&) = delete;

    std::string& key(std::string_view name) {
        out_ += first_ ? "" : ",";
        first_ = false;
        appendJsonString(out_, name);
        out_ += ':';
        return out_;
    }
    void text(std::string_view name, std::string_view value) { appendJsonString(key(name), value); }
    void number(std::string_view name, std::uint64_t value) { key(name) += std::to_string(value); }
    void flag(std::string_view name, bool value) { key(name) += value ? "true" : "false"; }
    // Milliseconds to the 10 µs the reply times keep; a point whatever the locale.
    void decimal(std::string_view name, double value) {
        std::array<char, 32> text{};
        const auto end = std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, 2).ptr;
        key(name).append(text.data(), end);
    }

private:
    std::string& out_;
    bool first_ = true;
};

template <class Items, class Write>
void array(std::string& out, const Items& items, Write write) {
    out += '[';
    bool first = true;
    for (const auto& item : items) {
        out += first ? "" : ",";
        first = false;
        write(item);
    }
    out += ']';
}

void writeEnvironment(std::string& out, const EnvironmentReport& environment) {
    JsonObject object(out);
    object.text("name", environment.name);
    object.number("received", environment.received);
    object.number("sent", environment.sent);
    array(object.key("steps"), environment.steps, [&out](const StepReport& step) {
        JsonObject item(out);
        item.number("index", step.index);
        item.number("row", step.row);
        item.text("label", step.label);
        item.number("held", step.counts.held);
        item.number("sent", step.counts.sent);
        item.number("jumped", step.counts.jumped);
    });
    array(object.key("named_conditions"), environment.conditions, [&out](const ConditionReport& condition) {
        JsonObject item(out);
        item.text("name", condition.name);
        item.number("recognised", condition.counts.recognised);
        item.number("mark_rises", condition.counts.markRises);
        item.number("trigger_rises", condition.counts.triggerRises);
    });
    array(object.key("never"), environment.neverFired(), [&out](const std::string& name) { appendJsonString(out, name); });
    array(object.key("faults"), environment.faults, [&out](const FaultReport& fault) {
        JsonObject item(out);
        item.text("name", fault.name);
        item.text("action", fault.action);
        item.number("applied", fault.applied);
    });
    object.number("delayed_dropped", environment.delayedDropped);
    if (!environment.replies) {
        object.key("replies") += "null";
        return;
    }
    JsonObject replies(object.key("replies"));
    replies.number("count", environment.replies->replies);
    replies.decimal("p50_ms", environment.replies->p50Ms);
    replies.decimal("p99_ms", environment.replies->p99Ms);
    replies.decimal("max_ms", environment.replies->maxMs);
}

}  // namespace

std::string runReportJson(const RunReport& report) {
    std::string out;
    {
        JsonObject object(out);
        object.text("folder", report.folder);
        object.text("started", report.started);
        object.text("ended", report.ended);
        object.number("exit_status", static_cast<std::uint64_t>(report.exitStatus));
        object.number("seed", report.seed);
        if (report.error.empty()) {
            object.key("error") += "null";
        } else {
            object.text("error", report.error);
        }
        object.flag("passed", report.allPassed() && report.error.empty());
        array(object.key("expectations"), report.expectations, [&out](const ExpectationOutcome& outcome) {
            JsonObject item(out);
            item.text("text", outcome.expectation.text);
            item.text("kind", outcome.until ? "until" : "expect");
            item.text("expected", expectedText(outcome.expectation));
            item.number("got", outcome.got);
            item.flag("passed", outcome.passed);
        });
        array(object.key("environments"), report.environments,
              [&out](const EnvironmentReport& environment) { writeEnvironment(out, environment); });
    }
    out += '\n';
    return out;
}

}  // namespace orvalix
