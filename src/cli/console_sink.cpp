#include "cli/console_sink.hpp"

#include "cli/record_line.hpp"
#include "core/session/run_notices.hpp"
#include "core/text/text_conversion.hpp"
#include "core/traffic/extra_block.hpp"

namespace orvalix::cli {
namespace {

template <typename Count>
std::string plural(Count count, std::string_view noun) {
    return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

}  // namespace

std::string withoutLineEnd(std::string_view text) {
    const std::size_t end = text.find_last_not_of("\r\n");
    return std::string(end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1));
}

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

void ConsoleSink::logFileStarted(std::u16string_view environment, const StartedLog& log) {
    if (!log.path.empty()) {
        ++totalsOf(environment).logFiles;
    }
    console_.out << startedLogNotice(environment, log) << "\n";
}

void ConsoleSink::logFileStopped(std::u16string_view environment, const StoppedLog& log) {
    ++totalsOf(environment).logFilesStopped;
    console_.out << stoppedLogNotice(environment, log) << "\n";
}

void ConsoleSink::recordingsRefused(std::u16string_view environment, std::size_t refused) {
    totalsOf(environment).recordingsRefused += static_cast<std::int64_t>(refused);
    console_.out << refusedRecordingsNotice(environment, refused) << "\n";
}

void ConsoleSink::serviceFailed(const std::string& text) {
    serviceError_ = text;
    console_.err << withoutLineEnd(text) << "\n";
    console_.err.flush();
}

void ConsoleSink::portLost(std::u16string_view environment, std::u16string_view port, const std::string& reason) {
    totalsOf(environment).portLost = true;
    console_.out << toNarrow(environment) << " port " << toNarrow(port) << " lost: " << reason << "\n";
    console_.out.flush();
}

void ConsoleSink::datagramsDropped(std::u16string_view environment, std::uint64_t added, std::uint64_t total) {
    totalsOf(environment).droppedDatagrams = total;
    console_.out << toNarrow(environment) << " the system dropped " << plural(added, "datagram") << " (" << total
                 << " in all): the socket's receive buffer was full\n";
}

// Connection events are no records: they print under --quiet too, and at once.
void ConsoleSink::connectionOpened(std::u16string_view environment, const std::string& peer) {
    ++totalsOf(environment).connections;
    console_.out << connectionOpenedNotice(environment, peer, Language::English) << "\n";
    console_.out.flush();
}

void ConsoleSink::connectionClosed(std::u16string_view environment, const std::string& peer) {
    console_.out << connectionClosedNotice(environment, peer, Language::English) << "\n";
    console_.out.flush();
}

void ConsoleSink::connectFailed(std::u16string_view environment, std::u16string_view port, const std::string& reason) {
    console_.out << connectFailedNotice(environment, port, reason, Language::English) << "\n";
    console_.out.flush();
}

void ConsoleSink::sendsDropped(std::u16string_view environment, std::uint64_t added, std::uint64_t total) {
    totalsOf(environment).droppedSends = total;
    console_.out << sendsDroppedNotice(environment, added, total, Language::English) << "\n";
}

void ConsoleSink::recordsLost(std::u16string_view environment, std::uint64_t added, std::uint64_t total) {
    totalsOf(environment).lostRecords = total;
    console_.out << recordsLostNotice(environment, added, total, Language::English) << "\n";
}

void ConsoleSink::printSummary() const {
    console_.out << "Summary:\n";
    for (const std::u16string& name : order_) {
        const EnvironmentTotals& totals = totals_.at(name);
        console_.out << "  " << toNarrow(name) << ": " << totals.received << " received, " << totals.sent
                     << " sent, " << plural(totals.marks, "mark") << ", " << plural(totals.logFiles, "log file");
        // Only what went wrong is added, so an untroubled run's summary reads as it always did.
        if (totals.logFilesStopped > 0) {
            console_.out << " (" << totals.logFilesStopped << " stopped by a failed write)";
        }
        if (totals.recordingsRefused > 0) {
            console_.out << ", " << plural(totals.recordingsRefused, "recording") << " refused";
        }
        if (totals.connections > 0) {
            console_.out << ", " << plural(totals.connections, "connection");
        }
        if (totals.droppedSends > 0) {
            console_.out << ", " << plural(totals.droppedSends, "frame") << " not sent";
        }
        if (totals.droppedDatagrams > 0) {
            console_.out << ", " << plural(totals.droppedDatagrams, "datagram") << " dropped by the system";
        }
        if (totals.lostRecords > 0) {
            console_.out << ", " << plural(totals.lostRecords, "record") << " lost";
        }
        if (totals.portLost) {
            console_.out << ", port lost";
        }
        console_.out << "\n";
    }
    console_.out.flush();
}

}  // namespace orvalix::cli
