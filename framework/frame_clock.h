// frame_clock.h - FrameClock, the demo's time since the music was heard to
// start, read from a high-resolution counter once per frame.
//
// Elapsed outputs are measured from the origin (never summed from frame
// steps, so they cannot drift); millisecond outputs are truncated. The
// clock borrows its counter, which must outlive it.
#pragma once

#include "platform/counter.h"

#include <cstdint>

namespace jolp {

class FrameClock {
public:
    // Origin and last reading are the counter's first reading.
    explicit FrameClock(Counter& counter);

    // One new reading; recomputes all four outputs.
    void Update();
    // Time 0 becomes the latest Update's reading; all outputs 0.
    void Restart();

    int32_t elapsedMs = 0;
    float elapsedSeconds = 0.0f;
    int32_t deltaMs = 0;
    float deltaSeconds = 0.0f;
    int32_t speed = 1;

private:
    Counter* counter_;
    int64_t frequency_;
    int64_t originCounter_;
    int64_t lastCounter_;
};

}  // namespace jolp
