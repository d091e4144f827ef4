#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/project/project.hpp"
#include "core/traffic/trigger_recorder.hpp"

namespace orvalix {

class TrafficStream;

// What the session tells its sink. An event refers to the session's data rather than copying it:
// it lives for the one call that delivers it.

// A folder was opened; one stream per usable environment now exists, in this order.
struct FolderOpened {
    const Project& project;
    const std::vector<std::u16string>& usableEnvironments;
};

// One record moved from the service into the environment's stream.
struct RecordPumped {
    std::u16string_view environment;
    const Environment& settings;
    std::span<const std::uint8_t> data;
    std::uint64_t time;
    std::span<const std::uint8_t> extra;
};

// Once per environment and tick when records or marks were added (the window refresh).
struct StreamUpdated {
    std::u16string_view environment;
    TrafficStream& stream;
    std::int32_t addedMarks;
    std::int32_t appendedRecords;
};

// A trigger started a recording, with its log file or the reason it has none.
struct LogFileStarted {
    std::u16string_view environment;
    const StartedLog& log;
};

// A recording stopped because its log file could not take a write (a full disk).
struct LogFileStopped {
    std::u16string_view environment;
    const StoppedLog& log;
};

// One record triggered more recordings than may start at once; these many were refused.
struct RecordingsRefused {
    std::u16string_view environment;
    std::size_t refused;
};

// The service ended by itself with an error text (told once).
struct ServiceFailed {
    const std::string& text;
};

// The environment's port went away during the run (a device unplugged) and stays closed for the
// rest of it; port is its name as the settings give it, reason the system's text. Once per run
// and environment.
struct PortLost {
    std::u16string_view environment;
    std::u16string_view port;
    const std::string& reason;
};

// A TCP port's connection began or ended (a peer that closes is a normal end); peer is the other
// end as "127.0.0.1:50344", empty when the port no longer knew it (more connections came and went
// between two looks than it keeps). Every connection is told, in order.
struct ConnectionOpened {
    std::u16string_view environment;
    const std::string& peer;
};
struct ConnectionClosed {
    std::u16string_view environment;
    const std::string& peer;
};

// A TCP port's attempts to connect (a server's, to accept) began to fail, or to fail for another
// reason; it goes on trying. Once per run of failures, with the port's name as the settings give
// it and the system's text.
struct ConnectFailed {
    std::u16string_view environment;
    std::u16string_view port;
    const std::string& reason;
};

// Something the run lost on an environment, counted: added since the last report, total since
// the run started. What was lost is the kind:
//  - datagrams the system dropped because the socket's receive buffer was full, and
//  - frames a TCP port dropped because no connection took them: at most once a second per
//    environment, the last tick of a run tells what is left;
//  - records that the service's store overwrote (its ring was full) before the pump took them:
//    told by the tick that finds them.
enum class Loss { datagrams, sends, records };
struct LossCounted {
    Loss kind;
    std::u16string_view environment;
    std::uint64_t added;
    std::uint64_t total;
};

using TrafficEvent =
    std::variant<FolderOpened, RecordPumped, StreamUpdated, LogFileStarted, LogFileStopped, RecordingsRefused,
                 ServiceFailed, PortLost, ConnectionOpened, ConnectionClosed, ConnectFailed, LossCounted>;

// Where the session's output goes: the traffic windows in the desktop application, the console
// in the command line. Called on the thread that drives the session and pumps its traffic,
// never on the service thread; delivering an event allocates nothing.
class TrafficSink {
public:
    virtual ~TrafficSink() = default;
    virtual void onEvent(const TrafficEvent& event) = 0;
};

// A sink's handlers for std::visit, one per event type: a sink names each, so that a new event
// does not compile until every sink has decided what to make of it.
template <typename... Handlers>
struct EventHandlers : Handlers... {
    using Handlers::operator()...;
};
template <typename... Handlers>
EventHandlers(Handlers...) -> EventHandlers<Handlers...>;

}  // namespace orvalix
