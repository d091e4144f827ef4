// The baseline for the service cycle's timing: a plain thread that sleeps to absolute 10 ms
// deadlines (clock_nanosleep, TIMER_ABSTIME, CLOCK_MONOTONIC) with the system's default
// scheduling and timer slack, and reads the clock as it wakes. Where its deadlines fall within
// the 10 ms is drawn at random: a process that reads the clock as it starts takes the phase of
// the scheduler tick it first ran at, and on a busy machine how long a wakeup waits depends on
// how soon after a tick it comes. Once SECONDS are up or a SIGTERM or SIGINT comes, prints one
// CLOCK_MONOTONIC stamp in nanoseconds a line: the clock of the traces' stamps, so that a
// script can compare it with a run's Controller.csv over the same stretch of time.
//
//   orvalix_bench_plain_sleeper SECONDS

#include <signal.h>
#include <time.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

constexpr std::int64_t kPeriod = 10'000'000;  // ns
constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;

volatile sig_atomic_t stopRequested = 0;

void requestStop(int) {
    stopRequested = 1;
}

std::int64_t now() {
    timespec time{};
    ::clock_gettime(CLOCK_MONOTONIC, &time);
    return static_cast<std::int64_t>(time.tv_sec) * kNanosecondsPerSecond + time.tv_nsec;
}

timespec toTimespec(std::int64_t nanoseconds) {
    timespec result{};
    result.tv_sec = static_cast<time_t>(nanoseconds / kNanosecondsPerSecond);
    result.tv_nsec = static_cast<long>(nanoseconds % kNanosecondsPerSecond);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::strtod(argv[1], nullptr) : 0.0;
    if (argc != 2 || !(seconds > 0.0) || seconds > 3600.0) {
        std::fprintf(stderr, "usage: orvalix_bench_plain_sleeper SECONDS (above 0, at most 3600)\n");
        return 2;
    }
    struct sigaction action {};
    action.sa_handler = requestStop;  // no SA_RESTART: the sleep ends with EINTR
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    const auto cycles = static_cast<std::size_t>(seconds * 100.0);
    std::vector<std::int64_t> stamps;
    stamps.reserve(cycles);  // nothing allocated while it measures
    std::random_device random;
    std::int64_t deadline = now() + std::uniform_int_distribution<std::int64_t>(0, kPeriod - 1)(random);
    while (stamps.size() < cycles) {
        deadline += kPeriod;
        const timespec wake = toTimespec(deadline);
        while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) == EINTR && !stopRequested) {
        }
        if (stopRequested) {
            break;
        }
        const std::int64_t woke = now();
        stamps.push_back(woke);
        // Like the service's timer, deadlines missed while held up are not made up for.
        while (deadline + kPeriod <= woke) {
            deadline += kPeriod;
        }
    }
    for (const std::int64_t stamp : stamps) {
        std::printf("%lld\n", static_cast<long long>(stamp));
    }
    return 0;
}
