#include "cli/console_sink.hpp"

#include "cli/record_line.hpp"
#include "core/text/text_conversion.hpp"
#include "core/traffic/extra_block.hpp"

namespace orvalix::cli {
namespace {

std::string plural(std::int64_t count, std::string_view noun) {
    return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

}  // namespace

ConsoleSink::ConsoleSink(Console console, bool quiet) : console_(console), quiet_(quiet) {}

EnvironmentTotals& ConsoleSink::totalsOf(std::u16string_view environment) {
    const auto found = totals_.find(environment);
    if (found != totals_.end()) {
        return found->second;
    }
    order_.emplace_back(environment);
    return totals_[std::u16string(environment)];
}

const EnvironmentTotals* ConsoleSink::totals(std::u16string_view environment) const {
    const auto found = totals_.find(environment);
    return found == totals_.end() ? nullptr : &found->second;
}

void ConsoleSink::folderOpened(const Project& project, const std::vector<std::u16string>& usableEnvironments) {
    // A new folder starts new totals.
    order_.clear();
    totals_.clear();
    console_.out << "Data folder: " << toNarrow(project.dataFolder) << "\n";
    for (const std::u16string& name : usableEnvironments) {
        totalsOf(name);
        const auto environment = project.environments->find(name);
        if (environment == project.environments->end()) {
            continue;
        }
        console_.out << "  " << toNarrow(name) << ": " << describePort(environment->second.port) << "\n";
    }
    if (usableEnvironments.empty()) {
        console_.err << "warning: no usable environment in " << toNarrow(project.dataFolder)
                     << ": no port is opened, nothing is sent or received\n";
    }
    console_.out.flush();
}

void ConsoleSink::recordPumped(std::u16string_view environment, const Environment& settings,
                               std::span<const std::uint8_t> data, std::uint64_t time,
                               std::span<const std::uint8_t> extra) {
    EnvironmentTotals& totals = totalsOf(environment);
    if ((attribute(extra) & kReceivedAttribute) != 0) {
        ++totals.received;
    } else {
        ++totals.sent;
    }
    const std::size_t conditions = settings.namedConditions.size();
    for (std::size_t i = 0; i < conditions; ++i) {
        totals.marks += markBit(extra, conditions, i) ? 1 : 0;
    }
    if (!quiet_) {
        console_.out << formatRecordLine(environment, settings, data, time, extra) << "\n";
    }
}

void ConsoleSink::streamUpdated(std::u16string_view, TrafficStream&, std::int32_t, std::int32_t) {
    // Lines are printed per record; a tick's end is when they reach the terminal.
    console_.out.flush();
}

void ConsoleSink::logFileStarted(std::u16string_view environment, std::u16string_view condition,
                                 const std::filesystem::path& path) {
    console_.out << toNarrow(environment) << " trigger " << toNarrow(condition) << ": ";
    if (path.empty()) {
        console_.out << "no log file (it cannot be made)\n";
        return;
    }
    ++totalsOf(environment).logFiles;
    console_.out << "log file " << displayPath(path) << "\n";
}

void ConsoleSink::serviceFailed(const std::string& text) {
    serviceError_ = text;
    // System messages come with a line break of their own.
    const std::size_t end = text.find_last_not_of("\r\n");
    console_.err << (end == std::string::npos ? std::string{} : text.substr(0, end + 1)) << "\n";
    console_.err.flush();
}

void ConsoleSink::printSummary() const {
    console_.out << "Summary:\n";
    for (const std::u16string& name : order_) {
        const EnvironmentTotals& totals = totals_.at(name);
        console_.out << "  " << toNarrow(name) << ": " << totals.received << " received, " << totals.sent
                     << " sent, " << plural(totals.marks, "mark") << ", " << plural(totals.logFiles, "log file")
                     << "\n";
    }
    console_.out.flush();
}

}  // namespace orvalix::cli
