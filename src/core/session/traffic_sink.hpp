#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/project/project.hpp"
#include "core/traffic/trigger_recorder.hpp"

namespace orvalix {

class TrafficStream;

// Where the session's output goes: the traffic windows in the desktop application, the
// console in the command line. Called on the thread that drives the session.
class TrafficSink {
public:
    virtual ~TrafficSink() = default;

    // A folder was opened; one stream per usable environment now exists, in this order.
    virtual void folderOpened(const Project& project, const std::vector<std::u16string>& usableEnvironments) = 0;
    // One record moved from the service into the environment's stream.
    virtual void recordPumped(std::u16string_view environment, const Environment& settings,
                              std::span<const std::uint8_t> data, std::uint64_t time,
                              std::span<const std::uint8_t> extra) = 0;
    // Once per environment and tick when records or marks were added (the window refresh).
    virtual void streamUpdated(std::u16string_view environment, TrafficStream& stream, std::int32_t addedMarks,
                               std::int32_t appendedRecords) = 0;
    // A trigger started a recording, with its log file or the reason it has none.
    virtual void logFileStarted(std::u16string_view environment, const StartedLog& log) = 0;
    // A recording stopped because its log file could not take a write (a full disk).
    virtual void logFileStopped(std::u16string_view environment, const StoppedLog& log) = 0;
    // One record triggered more recordings than may start at once; these many were refused.
    virtual void recordingsRefused(std::u16string_view environment, std::size_t refused) = 0;
    // The service ended by itself with an error text (shown once).
    virtual void serviceFailed(const std::string& text) = 0;
    // The environment's port went away during the run (a device unplugged) and stays closed
    // for the rest of it; port is its name as the settings give it, reason the system's text.
    // Once per run and environment.
    virtual void portLost(std::u16string_view environment, std::u16string_view port, const std::string& reason) = 0;
    // The system dropped datagrams meant for the environment's port because its receive buffer
    // was full: added since the last call, total since the run started. At most once a second
    // per environment; the last tick of a run tells what is left.
    virtual void datagramsDropped(std::u16string_view environment, std::uint64_t added, std::uint64_t total) = 0;
    // A TCP port's connection began or ended (a peer that closes is a normal end); peer is the
    // other end as "127.0.0.1:50344", empty when the port no longer knew it (more connections
    // came and went between two looks than it keeps). Every connection is told, in order.
    virtual void connectionOpened(std::u16string_view environment, const std::string& peer) = 0;
    virtual void connectionClosed(std::u16string_view environment, const std::string& peer) = 0;
    // A TCP port's attempts to connect (a server's, to accept) began to fail, or to fail for
    // another reason; it goes on trying. Once per run of failures, with the port's name as the
    // settings give it and the system's text.
    virtual void connectFailed(std::u16string_view environment, std::u16string_view port,
                               const std::string& reason) = 0;
    // Frames a TCP port dropped because no connection took them: added since the last call,
    // total since the run started. At most once a second per environment; the last tick of a run
    // tells what is left.
    virtual void sendsDropped(std::u16string_view environment, std::uint64_t added, std::uint64_t total) = 0;
    // Records of the environment that the service's store overwrote (its ring was full) before
    // the pump took them: added since the last call, total since the run started. Told by the
    // tick that finds them.
    virtual void recordsLost(std::u16string_view environment, std::uint64_t added, std::uint64_t total) = 0;
};

}  // namespace orvalix
