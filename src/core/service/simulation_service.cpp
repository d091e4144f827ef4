#include "core/service/simulation_service.hpp"

#include <chrono>
#include <functional>
#include <system_error>
#include <utility>

#include "core/platform/module_path.hpp"
#include "core/platform/prompt_wakeups.hpp"
#include "core/platform/thread.hpp"
#include "core/ports/hdlc_library.hpp"
#include "core/ports/port.hpp"
#include "core/ports/port_options.hpp"
#include "core/service/run_service.hpp"
#include "core/service/service_shared.hpp"

namespace orvalix {

namespace {

constexpr std::size_t kServiceStackSize = 2 * 1024 * 1024;

bool needsBoardLibrary(const EnvironmentMap& environments) {
    for (const auto& [name, environment] : environments) {
        if (isUsable(environment.port) && portKind(environment.port) == PortKind::HdlcBoard) {
            return true;
        }
    }
    return false;
}

}  // namespace

struct SimulationService::Run {
    explicit Run(std::function<void()> body) : thread(std::move(body), kServiceStackSize) {}
    platform::Thread thread;
};

SimulationService::SimulationService(ServiceOptions options)
    : options_(std::move(options)), shared_(std::make_shared<Shared>()) {
    if (options_.traceFolder.empty()) {
        options_.traceFolder = platform::executableFolder();
    }
}

SimulationService::~SimulationService() {
    stop();
}

void SimulationService::setEnvironments(std::shared_ptr<const EnvironmentMap> environments) {
    if (!environments) {
        environments = std::make_shared<const EnvironmentMap>();
    }
    const std::lock_guard lock(shared_->lock);
    shared_->environments.swap(environments);
    shared_->traffic.prepare(*shared_->environments, options_.maxRingMemory);
    // The map it replaced goes once the lock is let go, or with the last run that still reads it.
}

void SimulationService::setFrames(const FrameMap& frames) {
    if (&frames == shared_->frames.get()) {
        return;  // only this thread replaces the pointer, so reading it here needs no lock
    }
    std::shared_ptr<const FrameMap> copy = std::make_shared<const FrameMap>(frames);
    {
        const std::lock_guard lock(shared_->lock);
        shared_->frames.swap(copy);
    }
    // The old definitions go here, outside the lock (or with the last cycle that still uses them).
}

std::error_code SimulationService::start() {
    stop();
    {
        const std::lock_guard lock(shared_->lock);
        shared_->lastError.clear();
        shared_->portHealth.clear();
        shared_->coverage.clear();
    }
    try {
        shared_->stopEvent.emplace(platform::Event::Reset::Manual, false);
    } catch (const std::system_error& error) {
        return error.code();
    }
    // The board library is loaded at most once per process: it stays with the service.
    if (!hdlcLibrary_ && needsBoardLibrary(*shared_->environments)) {
        hdlcLibrary_ = std::make_shared<HdlcLibrary>();
    }
    PortContext portContext{hdlcLibrary_, options_.language};
    try {
        run_ = std::make_unique<Run>([shared = shared_, options = options_, portContext] {
            // A cycle that waits for a busy program's time slice to end comes milliseconds late.
            platform::requestPromptWakeups();
            runService(*shared, options, portContext);
        });
    } catch (const std::system_error& error) {
        shared_->stopEvent.reset();
        return error.code();
    }
    return {};
}

void SimulationService::stop() {
    if (!run_) {
        return;
    }
    shared_->stopEvent->set();
    if (run_->thread.join(options_.stopWait)) {
        shared_->stopEvent.reset();
    } else {
        // It runs on with the Shared it holds; the next run must not share anything with it.
        run_->thread.detach();
        shared_ = freshShared(*shared_, options_.maxRingMemory);
    }
    run_.reset();
}

bool SimulationService::hasThread() const {
    return run_ != nullptr;
}

bool SimulationService::running() const {
    return run_ && !run_->thread.finished();
}

std::string SimulationService::lastError() const {
    const std::lock_guard lock(shared_->lock);
    return shared_->lastError;
}

std::int32_t SimulationService::popTraffic(std::u16string_view environment, std::span<std::uint8_t> data,
                                           std::uint64_t& time, std::span<std::uint8_t> extra, UdpEndpoint& peer) {
    const std::lock_guard lock(shared_->lock);
    return shared_->traffic.pop(environment, data, time, extra, peer);
}

std::uint64_t SimulationService::recordsLost(std::u16string_view environment) const {
    const std::lock_guard lock(shared_->lock);
    return shared_->traffic.lost(environment);
}

PortHealth SimulationService::portHealth(std::u16string_view environment) const {
    const std::lock_guard lock(shared_->lock);
    const auto entry = shared_->portHealth.find(environment);
    return entry == shared_->portHealth.end() ? PortHealth{} : entry->second;
}

std::optional<EnvironmentCoverage> SimulationService::coverage(std::u16string_view environment) const {
    const std::lock_guard lock(shared_->lock);
    const auto entry = shared_->coverage.find(environment);
    return entry == shared_->coverage.end() ? std::nullopt : std::optional(entry->second);
}

std::shared_ptr<SimulationService::Shared> SimulationService::freshShared(const Shared& previous,
                                                                         std::uint64_t ringMemoryLimit) {
    auto fresh = std::make_shared<Shared>();
    {
        const std::lock_guard lock(previous.lock);
        fresh->environments = previous.environments;
        fresh->frames = previous.frames;
    }
    fresh->traffic.prepare(*fresh->environments, ringMemoryLimit);
    return fresh;
}

}  // namespace orvalix
