#include "platform/counter.h"

#include <chrono>

namespace jolp {

namespace {

// The machine's monotonic clock in nanoseconds (CLOCK_MONOTONIC natively,
// performance.now() in a browser).
int64_t MonotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

uint64_t MonotonicMs() { return static_cast<uint64_t>(MonotonicNs() / 1000000); }

PerformanceCounter& PerformanceCounter::Instance() {
    static PerformanceCounter counter;
    return counter;
}

int64_t PerformanceCounter::Frequency() {
    if (frequency_ == 0) {
        frequency_ = 1000000000;
        first_ = MonotonicNs();
    }
    return frequency_;
}

int64_t PerformanceCounter::FirstReading() {
    Frequency();
    return first_;
}

int64_t PerformanceCounter::Now() { return MonotonicNs(); }

}  // namespace jolp
