#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/project/project.hpp"
#include "core/text/language.hpp"
#include "core/traffic/trigger_recorder.hpp"

namespace orvalix {

// The one-line texts (UTF-8) that tell the user what happened to a run's log files; the
// command line prints them and the desktop application shows them in its status bar.

// "D1 trigger Alarm: log file PATH", or "... no log file (it cannot be made[: REASON])".
std::string startedLogNotice(std::u16string_view environment, const StartedLog& log);
// "D1 trigger Alarm: log file PATH stopped after N records: REASON"
std::string stoppedLogNotice(std::u16string_view environment, const StoppedLog& log);
// "D1 trigger: N recordings refused: one record starts at most 64 log files"
std::string refusedRecordingsNotice(std::u16string_view environment, std::size_t refused);

// Why a run cannot start: no environment of the folder has a port it can open. Names each
// environment and why its port is not usable; in Japanese when asked.
std::string noUsableEnvironmentMessage(const Project& project, Language language);

// What became of a TCP port's connections, in English or Japanese: the command line prints
// them (in English, as its other lines) and the desktop application shows them in its status
// bar in the user's language.
// "S1 connected 127.0.0.1:50344"; without a peer "S1 connected".
std::string connectionOpenedNotice(std::u16string_view environment, std::string_view peer, Language language);
// "S1 disconnected 127.0.0.1:50344"
std::string connectionClosedNotice(std::u16string_view environment, std::string_view peer, Language language);
// "S1 no connection on tcp-client://127.0.0.1:502: Connection refused"
std::string connectFailedNotice(std::u16string_view environment, std::u16string_view port,
                                std::string_view reason, Language language);
// "S1 3 frames not sent (5 in all): no connection"
std::string sendsDroppedNotice(std::u16string_view environment, std::uint64_t added, std::uint64_t total,
                               Language language);
// "S1 3 records were lost before the pump took them (5 in all)"
std::string recordsLostNotice(std::u16string_view environment, std::uint64_t added, std::uint64_t total,
                              Language language);

// The path as UTF-8 text.
std::string pathText(const std::filesystem::path& path);

}  // namespace orvalix
