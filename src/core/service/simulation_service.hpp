#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

#include "core/ports/port.hpp"
#include "core/project/project.hpp"
#include "core/service/fault_injection.hpp"
#include "core/service/run_coverage.hpp"
#include "core/text/language.hpp"
#include "core/traffic/ring_memory.hpp"

namespace orvalix {

class HdlcLibrary;

struct ServiceOptions {
    // Where the service thread writes "Controller.csv" at the end of each run; empty for the
    // executable's folder.
    std::filesystem::path traceFolder;
    // Language of user-facing texts (the "Can't open" message).
    Language language = Language::English;
    // Bytes one traffic ring may take; Start fails for an environment that needs more.
    std::uint64_t maxRingMemory = kDefaultRingMemoryLimit;
    // Seeds the draws of the fault files' probabilities: the same seed, the same faults.
    std::uint64_t faultSeed = kDefaultFaultSeed;
    // Besides the cycles, a pass for each port the moment it has data and for each unfinished
    // stream frame the moment its character time-out expires.
    bool onArrival = false;
    // How long stop() waits for the thread to end before it lets it go.
    std::chrono::milliseconds stopWait{5000};
};

// Runs a loaded project against real ports on its own thread, one cycle every 10 ms.
// All operations are called from one (the user-interface) thread.
class SimulationService {
public:
    explicit SimulationService(ServiceOptions options);
    ~SimulationService();  // stops a running thread
    SimulationService(const SimulationService&) = delete;
    SimulationService& operator=(const SimulationService&) = delete;

    // Shares the environments (never copied: the next run reads this very map, which nobody
    // changes) and makes one traffic ring per usable environment. Null reads as no environment.
    // A ring that cannot be made ends the next run at its start with a text naming the environment.
    void setEnvironments(std::shared_ptr<const EnvironmentMap> environments);
    // Copies the frames; the running thread picks them up at its next cycle.
    void setFrames(const FrameMap& frames);

    // Stops a running thread, then starts a new run; the system's reason when the thread (or
    // its stop event) cannot be made.
    std::error_code start();
    // Asks the thread to stop, waits at most 5 s, then lets go of it. Whatever a thread that
    // did not end still uses stays alive until it ends.
    void stop();

    // A thread is held (running, or ended and not yet released by stop()).
    bool hasThread() const;
    // The held thread has not ended yet.
    bool running() const;

    // Text of the exception that ended the last run; empty after a normal end.
    std::string lastError() const;

    // Taken by the next start.
    void setOnArrival(bool onArrival) { options_.onArrival = onArrival; }
    bool onArrival() const { return options_.onArrival; }
    void setFaultSeed(std::uint64_t seed) { options_.faultSeed = seed; }
    std::uint64_t faultSeed() const { return options_.faultSeed; }

    // The oldest record of the environment, removed from the store; 0 when none. The peer is
    // the record's far end for UDP and TCP environments, zero otherwise.
    std::int32_t popTraffic(std::u16string_view environment, std::span<std::uint8_t> data, std::uint64_t& time,
                            std::span<std::uint8_t> extra, UdpEndpoint& peer);
    // Records of the environment that the store overwrote before popTraffic took them, this run.
    std::uint64_t recordsLost(std::u16string_view environment) const;

    // What the environment's port of the current (or last) run last told; all zero when it
    // has told nothing or was not opened.
    PortHealth portHealth(std::u16string_view environment) const;

    // What the environment's script did in the current (or last) run, as of the end of the
    // latest cycle; none when its port was not opened.
    std::optional<EnvironmentCoverage> coverage(std::u16string_view environment) const;

    struct Shared;  // state shared with the service thread

private:
    // A copy of what the service shares, for the run after one whose thread was given up on.
    static std::shared_ptr<Shared> freshShared(const Shared& previous, std::uint64_t ringMemoryLimit);

    ServiceOptions options_;
    std::shared_ptr<Shared> shared_;
    // The board library, made by the first start that has a board port and kept for the process.
    std::shared_ptr<HdlcLibrary> hdlcLibrary_;
    struct Run;
    std::unique_ptr<Run> run_;
};

}  // namespace orvalix
