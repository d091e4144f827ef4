#include "core/platform/arrival_waiter.hpp"

#include "core/platform/win32/windows_headers.hpp"

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/platform/win32/system_message.hpp"
#include "core/platform/win32/unique_handle.hpp"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

// WaitForMultipleObjects takes at most 64 handles. The service thread waits on the periodic
// timer, the deadline timer, a wake event and the first 61 sources itself; each further group
// of up to 63 sources has a helper thread that only blocks for it: while wait() runs, a helper
// waits on its group and sets the wake event when one of them is signalled. wait() arms the
// helpers as it starts and halts them (and waits until each is idle again) before it looks,
// so the handle tables are only changed and scanned while no helper uses them. Awake, the
// service thread finds every signalled handle itself by zero-time waits.
//
// Each source has an event of the waiter's own: a watched socket signals it through
// WSAEventSelect; an unwatched source leaves it in the tables, never signalled. An Event source
// is waited on through a duplicate of its handle, so no handle in a table is ever closed
// while it is waited on. A socket's event says something happened; a zero-time WSAPoll says
// whether something is there to read. A socket reported ready gets its event set again, so
// that data left unread is reported at the next wait as well (level-triggered, as epoll is).

namespace orvalix::platform {
namespace {

using win32::UniqueHandle;

constexpr std::size_t kFixedHandles = 3;  // the periodic timer, the deadline timer, the wake event
constexpr DWORD kTimerIndex = 0;
constexpr DWORD kDeadlineIndex = 1;
constexpr std::size_t kDirectSources = MAXIMUM_WAIT_OBJECTS - kFixedHandles;
constexpr std::size_t kHelperSources = MAXIMUM_WAIT_OBJECTS - 1;  // beside the helper's halt event
constexpr long kSocketEvents = FD_READ | FD_ACCEPT | FD_CLOSE;

[[noreturn]] void throwLastError() {
    throw std::runtime_error(win32::systemMessage(::GetLastError()));
}

UniqueHandle newEvent(bool manualReset) {
    UniqueHandle event(::CreateEventW(nullptr, manualReset ? TRUE : FALSE, FALSE, nullptr));
    if (!event) {
        throwLastError();
    }
    return event;
}

// Auto-reset, so that reporting an expiry consumes it. Without the high-resolution kind the
// timer follows the system timer, which the periodic timer then has raised to 1 ms.
UniqueHandle newDeadlineTimer() {
    HANDLE timer = ::CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                            TIMER_ALL_ACCESS);
    if (timer == nullptr) {
        timer = ::CreateWaitableTimerW(nullptr, FALSE, nullptr);
    }
    if (timer == nullptr) {
        throwLastError();
    }
    return UniqueHandle(timer);
}

SOCKET toSocket(std::intptr_t handle) {
    return static_cast<SOCKET>(handle);
}

// Calls found(index) for each handle from `from` on that is signalled now, lowest first. A
// zero-time wait per handle found: it consumes an auto-reset one, as any wait does.
template <typename Found>
void forEachSignalled(const std::vector<HANDLE>& handles, DWORD from, Found found) {
    const auto count = static_cast<DWORD>(handles.size());
    while (from < count) {
        const DWORD result = ::WaitForMultipleObjects(count - from, handles.data() + from, FALSE, 0);
        if (result >= WAIT_OBJECT_0 + (count - from)) {
            return;  // none (or the wait failed)
        }
        const DWORD index = from + (result - WAIT_OBJECT_0);
        found(index);
        from = index + 1;
    }
}

// Blocks on one group of sources while the service thread waits on its own handles.
class Helper {
public:
    Helper(HANDLE wake, const std::vector<HANDLE>& group)
        : wake_(wake), go_(newEvent(false)), halt_(newEvent(false)), idle_(newEvent(false)) {
        handles_.reserve(1 + group.size());
        handles_.push_back(halt_.get());  // first: a halt wins over a source signalled with it
        handles_.insert(handles_.end(), group.begin(), group.end());
        thread_ = std::thread([this] { run(); });
    }
    ~Helper() {
        quitting_ = true;
        ::SetEvent(go_.get());
        thread_.join();
    }
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;

    HANDLE& source(std::size_t index) { return handles_[1 + index]; }
    const std::vector<HANDLE>& handles() const { return handles_; }

    void arm() { ::SetEvent(go_.get()); }
    // Ends this round's wait; when it returns the helper no longer uses its handles.
    void halt() { ::SetEvent(halt_.get()); }
    void awaitIdle() { ::WaitForSingleObject(idle_.get(), INFINITE); }

private:
    // Every round takes one go and one halt, whatever woke it.
    void run() {
        for (;;) {
            ::WaitForSingleObject(go_.get(), INFINITE);
            if (quitting_) {
                return;
            }
            const DWORD woke =
                ::WaitForMultipleObjects(static_cast<DWORD>(handles_.size()), handles_.data(), FALSE, INFINITE);
            if (woke != WAIT_OBJECT_0) {
                ::SetEvent(wake_);
                ::WaitForSingleObject(halt_.get(), INFINITE);
            }
            ::SetEvent(idle_.get());
        }
    }

    HANDLE wake_;
    UniqueHandle go_;
    UniqueHandle halt_;
    UniqueHandle idle_;
    std::vector<HANDLE> handles_;  // the halt event, then the group's sources
    std::atomic<bool> quitting_{false};
    std::thread thread_;
};

struct Slot {
    WaitSource watched;
    UniqueHandle socketEvent;  // manual-reset; stands in the tables while no Event is watched
    UniqueHandle duplicate;    // the waiter's own handle to a watched Event
};

}  // namespace

struct ArrivalWaiter::Native {
    UniqueHandle deadlineTimer;
    UniqueHandle wake;  // manual-reset; set by a helper that saw a source
    bool deadlineArmed = false;
    std::vector<Slot> slots;
    std::vector<HANDLE> direct;  // the fixed handles, then the first sources
    // After the slots and the wake event, which the helpers use: they go first.
    std::vector<std::unique_ptr<Helper>> helpers;
    std::vector<std::size_t> candidates;  // sources found signalled, ascending
    std::vector<WSAPOLLFD> polls;
    std::vector<std::size_t> ready;

    HANDLE& tableEntry(std::size_t source) {
        if (source < kDirectSources) {
            return direct[kFixedHandles + source];
        }
        const std::size_t beyond = source - kDirectSources;
        return helpers[beyond / kHelperSources]->source(beyond % kHelperSources);
    }

    // A socket handle closed by its port may already be another source's new socket.
    bool socketWatchedElsewhere(std::size_t source, std::intptr_t handle) const {
        for (std::size_t other = 0; other < slots.size(); ++other) {
            if (other != source && slots[other].watched.kind == WaitSource::Kind::Socket &&
                slots[other].watched.handle == handle) {
                return true;
            }
        }
        return false;
    }

    void stopWatching(std::size_t source) {
        Slot& slot = slots[source];
        if (slot.watched.kind == WaitSource::Kind::Socket && !socketWatchedElsewhere(source, slot.watched.handle)) {
            // Leaves the socket without an event (still non-blocking: that stays). A socket closed
            // meanwhile has lost its event by itself; the call then fails, harmlessly.
            ::WSAEventSelect(toSocket(slot.watched.handle), nullptr, 0);
        }
        ::ResetEvent(slot.socketEvent.get());
        tableEntry(source) = slot.socketEvent.get();
        slot.duplicate.reset();
        slot.watched = WaitSource{};
    }

    void startWatching(std::size_t source, WaitSource what) {
        Slot& slot = slots[source];
        switch (what.kind) {
            case WaitSource::Kind::Socket:
                if (::WSAEventSelect(toSocket(what.handle), slot.socketEvent.get(), kSocketEvents) != 0) {
                    return;  // not watched: the source is still read at every tick
                }
                // Data that came before counts too: the next wait looks.
                ::SetEvent(slot.socketEvent.get());
                break;
            case WaitSource::Kind::Event: {
                HANDLE own = nullptr;
                const HANDLE process = ::GetCurrentProcess();
                if (!::DuplicateHandle(process, win32::toHandle(what.handle), process, &own, SYNCHRONIZE, FALSE, 0)) {
                    return;
                }
                slot.duplicate.reset(own);
                tableEntry(source) = own;
                break;
            }
            case WaitSource::Kind::None:
            case WaitSource::Kind::Descriptor:  // no such thing on Windows
                return;
        }
        slot.watched = what;
    }

    void armDeadline(std::optional<std::chrono::nanoseconds> deadline) {
        if (deadline) {
            // An expiry left over from an earlier deadline is not this one's.
            ::WaitForSingleObject(deadlineTimer.get(), 0);
            // A negative due time is relative, in 100 ns units; one already passed is due at once.
            const auto nanoseconds = deadline->count();
            LARGE_INTEGER due;
            due.QuadPart = nanoseconds <= 0 ? -1 : -(nanoseconds / 100 + (nanoseconds % 100 != 0 ? 1 : 0));
            deadlineArmed = ::SetWaitableTimer(deadlineTimer.get(), &due, 0, nullptr, nullptr, FALSE) != FALSE;
        } else if (deadlineArmed) {
            ::CancelWaitableTimer(deadlineTimer.get());
            ::WaitForSingleObject(deadlineTimer.get(), 0);
            deadlineArmed = false;
        }
    }

    // Wakes from the direct table's `first` (signalled and, if auto-reset, consumed by the wait).
    void collect(DWORD first, Wakeup& wakeup) {
        ::ResetEvent(wake.get());
        const auto noteDirect = [&](DWORD index) {
            if (index == kTimerIndex) {
                wakeup.tick = true;
            } else if (index == kDeadlineIndex) {
                wakeup.deadline = deadlineArmed;
                deadlineArmed = false;
            } else if (index >= kFixedHandles) {
                candidates.push_back(index - kFixedHandles);
            }
        };
        noteDirect(first);
        forEachSignalled(direct, first + 1, noteDirect);
        for (std::size_t group = 0; group < helpers.size(); ++group) {
            const std::size_t base = kDirectSources + group * kHelperSources - 1;
            forEachSignalled(helpers[group]->handles(), 1, [&](DWORD index) { candidates.push_back(base + index); });
        }
    }

    // One wait on everything, at most `milliseconds`; false when nothing was signalled.
    bool waitOnce(DWORD milliseconds, Wakeup& wakeup) {
        for (const auto& helper : helpers) {
            helper->arm();
        }
        const DWORD first =
            ::WaitForMultipleObjects(static_cast<DWORD>(direct.size()), direct.data(), FALSE, milliseconds);
        for (const auto& helper : helpers) {
            helper->halt();
        }
        for (const auto& helper : helpers) {
            helper->awaitIdle();
        }
        if (first >= WAIT_OBJECT_0 + direct.size()) {
            return false;
        }
        collect(first - WAIT_OBJECT_0, wakeup);
        confirm();
        return true;
    }

    // Keeps the candidates that have something to read: a signalled Event, a readable socket.
    void confirm() {
        polls.clear();
        for (const std::size_t source : candidates) {
            const Slot& slot = slots[source];
            if (slot.watched.kind == WaitSource::Kind::Socket) {
                // Reset before the look: whatever comes after it sets the event again. Enumerating
                // clears the socket's record as well; a socket closed meanwhile has none.
                WSANETWORKEVENTS recorded;
                if (::WSAEnumNetworkEvents(toSocket(slot.watched.handle), slot.socketEvent.get(), &recorded) != 0) {
                    ::ResetEvent(slot.socketEvent.get());
                }
                polls.push_back(WSAPOLLFD{toSocket(slot.watched.handle), static_cast<SHORT>(POLLRDNORM), 0});
            }
        }
        if (!polls.empty() &&
            ::WSAPoll(polls.data(), static_cast<ULONG>(polls.size()), 0) == SOCKET_ERROR) {
            // One socket closed meanwhile may fail the whole poll (Wine's does): look at each alone.
            for (WSAPOLLFD& poll : polls) {
                poll.revents = 0;
                ::WSAPoll(&poll, 1, 0);
            }
        }
        std::size_t next = 0;
        for (const std::size_t source : candidates) {
            const Slot& slot = slots[source];
            if (slot.watched.kind == WaitSource::Kind::Event) {
                ready.push_back(source);
            } else if (slot.watched.kind == WaitSource::Kind::Socket) {
                if ((polls[next++].revents & (POLLRDNORM | POLLHUP | POLLERR)) != 0) {
                    ready.push_back(source);
                    ::SetEvent(slot.socketEvent.get());  // left unread, it is reported again
                }
            }
        }
    }
};

ArrivalWaiter::ArrivalWaiter(std::intptr_t timerHandle, std::size_t sourceCount)
    : native_(std::make_unique<Native>()) {
    Native& native = *native_;
    native.deadlineTimer = newDeadlineTimer();
    native.wake = newEvent(true);
    native.slots.resize(sourceCount);
    for (Slot& slot : native.slots) {
        slot.socketEvent = newEvent(true);
    }
    native.direct = {win32::toHandle(timerHandle), native.deadlineTimer.get(), native.wake.get()};
    std::vector<HANDLE> group;
    for (std::size_t source = 0; source < sourceCount; ++source) {
        const HANDLE event = native.slots[source].socketEvent.get();
        if (source < kDirectSources) {
            native.direct.push_back(event);
            continue;
        }
        group.push_back(event);
        if (group.size() == kHelperSources || source + 1 == sourceCount) {
            native.helpers.push_back(std::make_unique<Helper>(native.wake.get(), group));
            group.clear();
        }
    }
    native.candidates.reserve(sourceCount);
    native.polls.reserve(sourceCount);
    native.ready.reserve(sourceCount);
}

ArrivalWaiter::~ArrivalWaiter() = default;

void ArrivalWaiter::watch(std::size_t source, WaitSource what) {
    if (native_->slots[source].watched == what) {
        return;
    }
    native_->stopWatching(source);
    native_->startWatching(source, what);
}

Wakeup ArrivalWaiter::wait(std::chrono::milliseconds bound, std::optional<std::chrono::nanoseconds> deadline) {
    Native& native = *native_;
    native.armDeadline(deadline);
    const auto end = std::chrono::steady_clock::now() + bound;
    Wakeup wakeup;
    // A socket event with nothing behind it (data read since it was signalled) ends no wait.
    for (;;) {
        native.candidates.clear();
        native.ready.clear();
        if (!native.waitOnce(win32::waitMilliseconds(bound), wakeup) || wakeup.tick || wakeup.deadline ||
            !native.ready.empty()) {
            break;
        }
        bound = std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (bound.count() <= 0) {
            break;
        }
    }
    wakeup.ready = native.ready;
    return wakeup;
}

}  // namespace orvalix::platform
