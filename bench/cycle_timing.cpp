// Measures the service's 10 ms cycle timer as the service uses it: on a thread that asks for
// prompt wakeups, one wait per cycle, each bounded to 100 ms, for a number of seconds; prints
// the period and its jitter.
//
//   orvalix_bench_cycle_timing [SECONDS]      (default 60)

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <vector>

#include "core/platform/clock.hpp"
#include "core/platform/periodic_timer.hpp"
#include "core/platform/prompt_wakeups.hpp"

namespace {

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
    using namespace orvalix::platform;
    const long seconds = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 60;
    const double frequency = static_cast<double>(performanceFrequency());
    if (seconds < 1 || frequency <= 0.0) {
        std::fprintf(stderr, "usage: orvalix_bench_cycle_timing [SECONDS >= 1]\n");
        return 2;
    }
    requestPromptWakeups();
    PeriodicTimer timer(std::chrono::milliseconds(10));
    std::vector<std::int64_t> stamps;
    stamps.reserve(static_cast<std::size_t>(seconds) * 110);
    const std::int64_t end = performanceCounter() + static_cast<std::int64_t>(static_cast<double>(seconds) * frequency);
    while (true) {
        timer.wait(std::chrono::milliseconds(100));
        const std::int64_t now = performanceCounter();
        stamps.push_back(now);
        if (now >= end) {
            break;
        }
    }
    std::vector<double> periods;  // milliseconds
    std::vector<double> jitter;   // |period - 10 ms|
    for (std::size_t i = 1; i < stamps.size(); ++i) {
        const double period = static_cast<double>(stamps[i] - stamps[i - 1]) * 1000.0 / frequency;
        periods.push_back(period);
        jitter.push_back(std::fabs(period - 10.0));
    }
    const double mean = std::accumulate(periods.begin(), periods.end(), 0.0) / static_cast<double>(periods.size());
    std::printf("timer: %s\n", timer.kind().c_str());
    std::printf("cycles: %zu over %ld s\n", periods.size(), seconds);
    std::printf("period: mean %.4f ms, p50 %.4f ms, p99 %.4f ms, max %.4f ms\n", mean, percentile(periods, 0.5),
                percentile(periods, 0.99), *std::max_element(periods.begin(), periods.end()));
    std::printf("jitter |period - 10 ms|: p50 %.4f ms, p99 %.4f ms, max %.4f ms\n", percentile(jitter, 0.5),
                percentile(jitter, 0.99), *std::max_element(jitter.begin(), jitter.end()));
    return 0;
}
