#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/platform/event.hpp"
#include "core/ports/port.hpp"
#include "core/project/project.hpp"
#include "core/service/run_coverage.hpp"
#include "core/service/simulation_service.hpp"
#include "core/traffic/traffic_store.hpp"

namespace orvalix {

// Everything the service thread touches outside its own runtime. The thread holds this by
// shared_ptr as well, so a thread given up on by stop() never reaches freed state; the service
// then continues with a fresh one.
struct SimulationService::Shared {
    // Guards environments, frames, lastError, traffic, portHealth and coverage; taken for short copies only.
    mutable std::mutex lock;
    // Shared with the project and with the runs that read it; nobody changes it.
    std::shared_ptr<const EnvironmentMap> environments = std::make_shared<const EnvironmentMap>();
    // Swapped whole by setFrames; a cycle takes the pointer, never a deep copy.
    std::shared_ptr<const FrameMap> frames = std::make_shared<const FrameMap>();
    std::string lastError;
    TrafficStore traffic;
    // What each opened port of the run last told, by environment; emptied at start, an entry
    // per opened port made by the thread's start-up, so that reports allocate nothing.
    std::map<std::u16string, PortHealth, std::less<>> portHealth;
    // What each opened environment's script did, made the same way (sized like the thread's own
    // counts, so that a copy into it allocates nothing).
    std::map<std::u16string, EnvironmentCoverage, std::less<>> coverage;
    // Manual reset; made anew at each start, while no thread uses this object.
    std::optional<platform::Event> stopEvent;
};

}  // namespace orvalix
