#include "core/session/session.hpp"

#include <filesystem>
#include <system_error>
#include <utility>

#include "core/capture/capture_file.hpp"
#include "core/diagnostics/trace_messages.hpp"
#include "core/platform/clock.hpp"
#include "core/project/data_file_path.hpp"
#include "core/project/loaders.hpp"
#include "core/session/port_watch.hpp"
#include "core/session/run_notices.hpp"
#include "core/session/update_traffic.hpp"
#include "core/session/usable_environments.hpp"
#include "core/traffic/trigger_recorder.hpp"

namespace orvalix {
namespace {

bool folderExists(std::u16string_view folder) {
    if (folder.empty()) {
        return false;
    }
    const auto path = tryPath(folder);
    std::error_code error;
    return path && std::filesystem::exists(*path, error);
}

std::int64_t milliseconds(std::int64_t counter, std::int64_t frequency) {
    if (frequency <= 0) {
        return 0;
    }
    return counter / frequency * 1000 + counter % frequency * 1000 / frequency;
}

}  // namespace

struct Session::State {
    State(ExecutionTrace& traceIn, TrafficSink& sinkIn, ServiceOptions options)
        : trace(traceIn),
          sink(sinkIn),
          ringMemoryLimit(options.maxRingMemory),
          language(options.language),
          service(std::move(options)) {}

    ExecutionTrace& trace;
    TrafficSink& sink;
    std::uint64_t ringMemoryLimit;
    Language language;
    Project project;
    std::vector<std::u16string> usable;
    // Each stream refers to its environment inside project.
    std::map<std::u16string, std::unique_ptr<TrafficStream>, std::less<>> streams;
    TriggerRecorder recorder;
    PortWatch portWatch;
    CaptureFile capture;
    std::optional<CaptureFailure> captureFailure;
    // Per usable environment, the lost-record total last told.
    std::map<std::u16string, std::uint64_t, std::less<>> toldLost;
    std::map<std::u16string, ReplyTimes, std::less<>> replies;
    bool pumpArmed = false;
    bool paused = false;
    std::int64_t lastFrameCheck = 0;
    // Declared last so that it goes first: its thread has ended before anything else goes.
    SimulationService service;
};

Session::Session(ExecutionTrace& trace, TrafficSink& sink, ServiceOptions serviceOptions)
    : state_(std::make_unique<State>(trace, sink, std::move(serviceOptions))) {}

Session::~Session() = default;

void Session::open(std::u16string_view dataFolder) {
    State& s = *state_;
    Project fresh;
    loadProject(dataFolder, fresh);
    stopCapture();  // its interfaces were the old folder's
    // The streams refer to the old project's environments: they go before it does.
    s.streams.clear();
    s.project = std::move(fresh);
    s.usable = usableEnvironmentNames(*s.project.environments);
    for (const std::u16string& name : s.usable) {
        const Environment& environment = s.project.environments->find(name)->second;
        s.streams.emplace(name, std::make_unique<TrafficStream>(environment, s.ringMemoryLimit));  // made reset
    }
    s.sink.onEvent(FolderOpened{s.project, s.usable});
}

bool Session::start() {
    State& s = *state_;
    if (!folderExists(s.project.dataFolder)) {
        return false;
    }
    s.service.stop();
    // A run that can open no port could only idle: it is an error, and says why.
    if (s.usable.empty()) {
        const std::string text = noUsableEnvironmentMessage(s.project, s.language);
        s.trace.record(text);
        s.sink.onEvent(ServiceFailed{text});
        return true;
    }
    for (auto& [name, stream] : s.streams) {
        stream->clear();
    }
    s.recorder.clear();
    s.portWatch.clear();
    s.toldLost.clear();
    s.replies.clear();
    // A history above the limit is refused by the service as well (it has the same limit and
    // settings), which ends the run as a port that cannot be opened does. One whose memory could
    // not be had at open gets another try; failing again, it fails the run here.
    for (const std::u16string& name : s.usable) {
        TrafficStream& history = *stream(name);
        const auto memoryMissing = [&history] { return history.refusal() && !history.refusal()->overLimit; };
        if (memoryMissing()) {
            history.reset();
        }
        if (memoryMissing()) {
            const std::string text = ringRefusalMessage(name, *history.refusal(), s.language);
            s.trace.record(text);
            s.sink.onEvent(ServiceFailed{text});
            return true;
        }
    }
    s.service.setEnvironments(s.project.environments);
    s.service.setFrames(s.project.frames);
    // A thread that cannot be made is a run that ended at once with an error: say so, rather
    // than let the first tick find no thread and no error text.
    if (const std::error_code error = s.service.start()) {
        const std::string text = "Can't start the service thread: " + std::system_category().message(error.value());
        s.trace.record(text);
        s.sink.onEvent(ServiceFailed{text});
        return true;
    }
    s.lastFrameCheck = platform::performanceCounter();
    s.pumpArmed = true;
    return true;
}

void Session::stop() { state_->service.stop(); }

void Session::setOnArrival(bool onArrival) { state_->service.setOnArrival(onArrival); }

bool Session::onArrival() const { return state_->service.onArrival(); }

void Session::setFaultSeed(std::uint64_t seed) { state_->service.setFaultSeed(seed); }

std::uint64_t Session::faultSeed() const { return state_->service.faultSeed(); }

void Session::setPaused(bool paused) { state_->paused = paused; }

bool Session::paused() const { return state_->paused; }

bool Session::runActive() const { return state_->service.hasThread() && state_->service.running(); }

bool Session::pumpArmed() const { return state_->pumpArmed; }

void Session::tick() {
    namespace messages = trace_messages;
    State& s = *state_;
    if (!s.pumpArmed) {
        return;
    }
    const std::int64_t now = platform::performanceCounter();
    const std::int64_t frequency = platform::performanceFrequency();
    s.trace.record(messages::kTickStarted);

    if (!s.paused) {
        const PumpParts parts{s.trace, s.sink, s.service, s.recorder, s.project.dataFolder, &s.capture};
        for (const std::u16string& name : s.usable) {
            updateTraffic(parts, name, s.project.environments->find(name)->second, stream(name), s.replies[name]);
        }
    }
    // Paused or not: a full store overwrites what waits in it.
    for (const std::u16string& name : s.usable) {
        const std::uint64_t total = s.service.recordsLost(name);
        std::uint64_t& told = s.toldLost[name];
        if (total > told) {
            s.sink.onEvent(LossCounted{Loss::records, name, total - told, total});
            s.capture.addLost(name, total - told, total, platform::currentFileTime());
            told = total;
        }
    }
    if (const std::error_code error = s.capture.flush()) {
        s.captureFailure = CaptureFailure{s.capture.path(), error};
    }
    s.trace.record(messages::kTickUpdatedTraffics);

    // Paused or not: these are no records. A thread that has ended has told all it will tell.
    const bool ended = !runActive();
    for (const std::u16string& name : s.usable) {
        s.portWatch.look(name, s.project.environments->find(name)->second, s.service.portHealth(name),
                         milliseconds(now, frequency), ended, s.sink);
    }

    // The counts of 2000 ms; with no counter frequency every positive difference qualifies.
    const std::int64_t threshold = frequency * 2000 / 1000;
    if (now - s.lastFrameCheck > threshold) {
        Project& p = s.project;
        if (refreshFrames(p.dataFolder, *p.environments, p.frames, p.frameFileTimes) >= 0) {
            s.service.setFrames(p.frames);
        }
        s.trace.record(messages::kTickUpdatedTxDs);
        s.lastFrameCheck = now;
    }

    if (!ended) {
        return;  // armed for the next tick
    }
    // The thread has ended (or there is none): this was the last pump of the run.
    const std::string error = s.service.lastError();
    if (!error.empty()) {
        s.trace.record(error);
        s.sink.onEvent(ServiceFailed{error});
    }
    s.service.stop();
    s.pumpArmed = false;
}

std::error_code Session::startCapture(const std::filesystem::path& file) {
    State& s = *state_;
    std::vector<CaptureInterface> interfaces;
    for (const std::u16string& name : s.usable) {
        interfaces.push_back(captureInterface(name, s.project.environments->find(name)->second));
    }
    s.captureFailure.reset();
    return s.capture.open(file, std::move(interfaces));
}

void Session::stopCapture() { state_->capture.close(); }

bool Session::capturing() const { return state_->capture.isOpen(); }

std::optional<Session::CaptureFailure> Session::takeCaptureFailure() { return std::exchange(state_->captureFailure, {}); }

const Project& Session::project() const { return state_->project; }

const std::vector<std::u16string>& Session::usableEnvironments() const { return state_->usable; }

std::optional<ReplyTimes::Summary> Session::replyTimes(std::u16string_view environment) const {
    const auto found = state_->replies.find(environment);
    return found == state_->replies.end() ? std::nullopt : found->second.summary();
}

std::optional<EnvironmentCoverage> Session::coverage(std::u16string_view environment) const {
    return state_->service.coverage(environment);
}

TrafficStream* Session::stream(std::u16string_view environment) {
    const auto found = state_->streams.find(environment);
    return found == state_->streams.end() ? nullptr : found->second.get();
}

}  // namespace orvalix
