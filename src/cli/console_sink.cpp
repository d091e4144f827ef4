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

void ConsoleSink::onEvent(const TrafficEvent& event) {
    const auto show = EventHandlers{
        [&](const FolderOpened& opened) {
            // A new folder starts new totals.
            order_.clear();
            totals_.clear();
            console_.out << "Data folder: " << toNarrow(opened.project.dataFolder) << "\n";
            const EnvironmentMap& environments = *opened.project.environments;
            for (const std::u16string& name : opened.usableEnvironments) {
                totalsOf(name);
                const auto environment = environments.find(name);
                if (environment == environments.end()) {
                    continue;
                }
                console_.out << "  " << toNarrow(name) << ": " << describePort(environment->second.port) << "\n";
            }
            console_.out.flush();
        },
        [&](const RecordPumped& record) {
            EnvironmentTotals& totals = totalsOf(record.environment);
            if ((attribute(record.extra) & kReceivedAttribute) != 0) {
                ++totals.received;
            } else {
                ++totals.sent;
            }
            const std::size_t conditions = record.settings.namedConditions.size();
            for (std::size_t i = 0; i < conditions; ++i) {
                totals.marks += markBit(record.extra, conditions, i) ? 1 : 0;
            }
            if (!quiet_) {
                console_.out << formatRecordLine(record.environment, record.settings, record.data, record.time,
                                                 record.extra)
                             << "\n";
            }
        },
        [&](const StreamUpdated&) {
            // Lines are printed per record; a tick's end is when they reach the terminal.
            console_.out.flush();
        },
        [&](const LogFileStarted& started) {
            if (!started.log.path.empty()) {
                ++totalsOf(started.environment).logFiles;
            }
            console_.out << startedLogNotice(started.environment, started.log) << "\n";
        },
        [&](const LogFileStopped& stopped) {
            ++totalsOf(stopped.environment).logFilesStopped;
            console_.out << stoppedLogNotice(stopped.environment, stopped.log) << "\n";
        },
        [&](const RecordingsRefused& refused) {
            totalsOf(refused.environment).recordingsRefused += static_cast<std::int64_t>(refused.refused);
            console_.out << refusedRecordingsNotice(refused.environment, refused.refused) << "\n";
        },
        [&](const ServiceFailed& failed) {
            serviceError_ = failed.text;
            console_.err << withoutLineEnd(failed.text) << "\n";
            console_.err.flush();
        },
        [&](const PortLost& lost) {
            totalsOf(lost.environment).portLost = true;
            console_.out << toNarrow(lost.environment) << " port " << toNarrow(lost.port) << " lost: " << lost.reason
                         << "\n";
            console_.out.flush();
        },
        // Connection events are no records: they print under --quiet too, and at once.
        [&](const ConnectionOpened& opened) {
            ++totalsOf(opened.environment).connections;
            console_.out << connectionOpenedNotice(opened.environment, opened.peer, Language::English) << "\n";
            console_.out.flush();
        },
        [&](const ConnectionClosed& closed) {
            console_.out << connectionClosedNotice(closed.environment, closed.peer, Language::English) << "\n";
            console_.out.flush();
        },
        [&](const ConnectFailed& failed) {
            console_.out << connectFailedNotice(failed.environment, failed.port, failed.reason, Language::English)
                         << "\n";
            console_.out.flush();
        },
        [&](const LossCounted& loss) { tellLoss(loss); },
    };
    std::visit(show, event);
}

void ConsoleSink::tellLoss(const LossCounted& loss) {
    EnvironmentTotals& totals = totalsOf(loss.environment);
    switch (loss.kind) {
    case Loss::datagrams:
        totals.droppedDatagrams = loss.total;
        console_.out << toNarrow(loss.environment) << " the system dropped " << plural(loss.added, "datagram")
                     << " (" << loss.total << " in all): the socket's receive buffer was full\n";
        return;
    case Loss::sends:
        totals.droppedSends = loss.total;
        console_.out << sendsDroppedNotice(loss.environment, loss.added, loss.total, Language::English) << "\n";
        return;
    case Loss::records:
        totals.lostRecords = loss.total;
        console_.out << recordsLostNotice(loss.environment, loss.added, loss.total, Language::English) << "\n";
        return;
    }
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
