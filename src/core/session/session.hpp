#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/diagnostics/execution_trace.hpp"
#include "core/project/project.hpp"
#include "core/service/simulation_service.hpp"
#include "core/session/traffic_sink.hpp"
#include "core/traffic/reply_times.hpp"
#include "core/traffic/traffic_stream.hpp"

namespace orvalix {

// The logic of the main window, free of any window: the open project, the service, one
// traffic stream per usable environment, the update pump and the trigger recordings. The
// desktop window and the command line both drive it; its output goes to the sink.
// The driver calls tick() every 333 ms while pumpArmed() is true. One thread only.
class Session {
public:
    // The trace is the user-interface thread's; both it and the sink must outlive the session.
    Session(ExecutionTrace& trace, TrafficSink& sink, ServiceOptions serviceOptions);
    ~Session();  // stops a running service
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Loads the folder into a fresh project and makes fresh, empty streams.
    void open(std::u16string_view dataFolder);
    // Restarts the run: clears streams and recordings, hands environments and frames to the
    // service, starts it and arms the pump. False, with nothing done, when the folder no
    // longer exists. A service thread that cannot be made goes to the sink as a failed run, and
    // so does a history whose memory cannot be had; one above the memory limit ends the run
    // through the service, as a port that cannot be opened does.
    bool start();
    // Stops the service; the pump stays armed for one last tick.
    void stop();

    // Answer on arrival (ServiceOptions::onArrival), and the seed of the fault files' draws,
    // from the next start on.
    void setOnArrival(bool onArrival);
    bool onArrival() const;
    void setFaultSeed(std::uint64_t seed);
    std::uint64_t faultSeed() const;

    // While paused the pump moves no records: they wait in the service's store.
    void setPaused(bool paused);
    bool paused() const;

    // The service thread is held and has not ended.
    bool runActive() const;
    bool pumpArmed() const;

    // One tick of the update pump; nothing when the pump is not armed. The tick that finds
    // the service thread ended reports its error, releases it and disarms the pump.
    void tick();

    // Writes every record the pump moves from now on to a pcapng file, one interface per
    // usable environment of the open folder, flushed at the end of each tick. The system's
    // reason when the file cannot be made. Opening a folder stops the capture.
    std::error_code startCapture(const std::filesystem::path& file);
    void stopCapture();
    bool capturing() const;
    // A capture whose write failed stops at that tick; the next call returns its file and the
    // system's reason, once.
    struct CaptureFailure {
        std::filesystem::path file;
        std::error_code error;
    };
    std::optional<CaptureFailure> takeCaptureFailure();

    const Project& project() const;
    // Usable environments in map order: the k-th is environment k of the menu.
    const std::vector<std::u16string>& usableEnvironments() const;
    // What the environment's script did in the current (or last) run; none when its port was
    // not opened.
    std::optional<EnvironmentCoverage> coverage(std::u16string_view environment) const;
    // How long the environment's replies took in the run, by the records the pump moved: from
    // a received record to the next sent one. Nothing before its first reply.
    std::optional<ReplyTimes::Summary> replyTimes(std::u16string_view environment) const;
    // The environment's stream, or nullptr when it has none.
    TrafficStream* stream(std::u16string_view environment);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace orvalix
