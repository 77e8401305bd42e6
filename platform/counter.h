// counter.h - high-resolution counters the frame clock reads.
//
// PerformanceCounter is the machine's monotonic clock in nanoseconds; its
// frequency and first reading are taken once per process. VirtualCounter is
// set by its owner: capture steps it frame by frame, tests set it by hand.
#pragma once

#include <cstdint>

namespace jolp {

// Milliseconds of the machine's monotonic clock, for timeouts and progress.
uint64_t MonotonicMs();

class Counter {
public:
    virtual ~Counter() = default;
    // Ticks per second; constant for the counter's life, never 0.
    virtual int64_t Frequency() = 0;
    // The counter's reading when it was first asked for; time 0 of a clock
    // that has not been restarted yet.
    virtual int64_t FirstReading() = 0;
    virtual int64_t Now() = 0;
};

class PerformanceCounter final : public Counter {
public:
    // The process-wide instance.
    static PerformanceCounter& Instance();

    int64_t Frequency() override;
    int64_t FirstReading() override;
    int64_t Now() override;

private:
    PerformanceCounter() = default;
    int64_t frequency_ = 0;
    int64_t first_ = 0;
};

class VirtualCounter final : public Counter {
public:
    explicit VirtualCounter(int64_t frequency, int64_t first = 0) : frequency_(frequency), now_(first), first_(first) {}

    int64_t Frequency() override { return frequency_; }
    int64_t FirstReading() override { return first_; }
    int64_t Now() override { return now_; }

    void Set(int64_t ticks) { now_ = ticks; }
    void Advance(int64_t ticks) { now_ += ticks; }

private:
    int64_t frequency_;
    int64_t now_;
    int64_t first_;
};

}  // namespace jolp
