#include "core/platform/thread.hpp"

#include <process.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <system_error>
#include <utility>

#include "core/platform/win32/windows_headers.hpp"

namespace orvalix::platform {

struct Thread::State {
    std::function<void()> body;
    std::atomic<bool> finished{false};
    // Owner's side only.
    HANDLE thread = nullptr;
    bool joined = false;
    bool detached = false;
};

namespace {

// Escaping exceptions end the process here rather than unwinding into the runtime library.
void runBody(Thread::State& state) noexcept {
    state.body();
    // The body's captures die on this thread, before anyone learns it has finished.
    state.body = nullptr;
    state.finished.store(true);
}

unsigned __stdcall threadEntry(void* argument) {
    // The thread's own reference keeps the state alive after a detach.
    const std::unique_ptr<std::shared_ptr<Thread::State>> state(
        static_cast<std::shared_ptr<Thread::State>*>(argument));
    runBody(**state);
    return 0;
}

}  // namespace

Thread::Thread(std::function<void()> body, std::size_t stackSize) : state_(std::make_shared<State>()) {
    state_->body = std::move(body);
    auto threadReference = std::make_unique<std::shared_ptr<State>>(state_);
    const auto stack = static_cast<unsigned>(stackSize > UINT_MAX ? UINT_MAX : stackSize);
    const std::uintptr_t thread = ::_beginthreadex(nullptr, stack, threadEntry, threadReference.get(), 0, nullptr);
    if (thread == 0) {
        const DWORD error = ::GetLastError();
        throw std::system_error(error != 0 ? static_cast<int>(error) : errno,
                                error != 0 ? std::system_category() : std::generic_category(), "_beginthreadex");
    }
    threadReference.release();  // now the thread's
    state_->thread = reinterpret_cast<HANDLE>(thread);
}

Thread::~Thread() {
    if (!state_->joined && !state_->detached) {
        ::WaitForSingleObject(state_->thread, INFINITE);
        ::CloseHandle(state_->thread);
    }
}

bool Thread::finished() const {
    return state_->finished.load();
}

bool Thread::join(std::chrono::milliseconds timeout) {
    State& state = *state_;
    if (state.joined) {
        return true;
    }
    if (state.detached) {
        return false;
    }
    if (::WaitForSingleObject(state.thread, win32::waitMilliseconds(timeout)) != WAIT_OBJECT_0) {
        return false;
    }
    ::CloseHandle(state.thread);
    state.thread = nullptr;
    state.joined = true;
    return true;
}

void Thread::detach() {
    if (state_->joined || state_->detached) {
        return;
    }
    ::CloseHandle(state_->thread);
    state_->thread = nullptr;
    state_->detached = true;
}

}  // namespace orvalix::platform
