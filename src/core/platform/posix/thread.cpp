#include "core/platform/thread.hpp"

#include <pthread.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <utility>

namespace orvalix::platform {

struct Thread::State {
    std::function<void()> body;
    std::mutex mutex;
    std::condition_variable finishedSignal;
    bool finished = false;  // guarded by mutex
    // Owner's side only.
    pthread_t thread{};
    bool joined = false;
    bool detached = false;
};

namespace {

// Escaping exceptions end the process here rather than unwinding into the C library.
void runBody(Thread::State& state) noexcept {
    state.body();
    // The body's captures die on this thread, before anyone learns it has finished.
    state.body = nullptr;
    {
        const std::lock_guard lock(state.mutex);
        state.finished = true;
    }
    state.finishedSignal.notify_all();
}

void* threadEntry(void* argument) {
    // The thread's own reference keeps the state alive after a detach.
    const std::unique_ptr<std::shared_ptr<Thread::State>> state(
        static_cast<std::shared_ptr<Thread::State>*>(argument));
    runBody(**state);
    return nullptr;
}

class ThreadAttributes {
public:
    ThreadAttributes() {
        const int error = ::pthread_attr_init(&attributes_);
        if (error != 0) {
            throw std::system_error(error, std::generic_category(), "pthread_attr_init");
        }
    }
    ~ThreadAttributes() { ::pthread_attr_destroy(&attributes_); }
    ThreadAttributes(const ThreadAttributes&) = delete;
    ThreadAttributes& operator=(const ThreadAttributes&) = delete;

    pthread_attr_t* get() { return &attributes_; }

private:
    pthread_attr_t attributes_{};
};

}  // namespace

Thread::Thread(std::function<void()> body, std::size_t stackSize) : state_(std::make_shared<State>()) {
    state_->body = std::move(body);
    ThreadAttributes attributes;
    if (stackSize > 0) {
        const int error = ::pthread_attr_setstacksize(attributes.get(),
                                                      std::max(stackSize, static_cast<std::size_t>(PTHREAD_STACK_MIN)));
        if (error != 0) {
            throw std::system_error(error, std::generic_category(), "pthread_attr_setstacksize");
        }
    }
    auto threadReference = std::make_unique<std::shared_ptr<State>>(state_);
    const int error = ::pthread_create(&state_->thread, attributes.get(), threadEntry, threadReference.get());
    if (error != 0) {
        throw std::system_error(error, std::generic_category(), "pthread_create");
    }
    threadReference.release();  // now the thread's
}

Thread::~Thread() {
    if (!state_->joined && !state_->detached) {
        ::pthread_join(state_->thread, nullptr);
    }
}

bool Thread::finished() const {
    const std::lock_guard lock(state_->mutex);
    return state_->finished;
}

bool Thread::join(std::chrono::milliseconds timeout) {
    State& state = *state_;
    if (state.joined) {
        return true;
    }
    if (state.detached) {
        return false;
    }
    {
        std::unique_lock lock(state.mutex);
        if (!state.finishedSignal.wait_for(lock, timeout, [&state] { return state.finished; })) {
            return false;
        }
    }
    ::pthread_join(state.thread, nullptr);
    state.joined = true;
    return true;
}

void Thread::detach() {
    if (state_->joined || state_->detached) {
        return;
    }
    ::pthread_detach(state_->thread);
    state_->detached = true;
}

}  // namespace orvalix::platform
