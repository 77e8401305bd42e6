// frame_grid.h - where frames fall in time for every loop that steps the
// clock itself: headless capture, the authoring mode, the browser's single
// frame and the previewer.
//
// Frame n of a grid of fpsNum/fpsDen frames a second is drawn at root time
// floor(n * 1000 * fpsDen / fpsNum) ms, in integer arithmetic so that
// nothing drifts. Such a loop sets the clock's nanosecond counter
// (DemoProgram::SetFrameTimeNs) to FrameTimeNs of that time: the
// millisecond plus half a microsecond, so that the clock's truncation to
// whole milliseconds lands on the frame's own millisecond whatever the
// rounding of its division.
#pragma once

#include <cstdint>

namespace jolp {

inline constexpr int64_t kNsPerMs = 1000000;
inline constexpr int64_t kFrameTimeBiasNs = 500;

// The counter reading, in nanoseconds, that shows root time ms.
constexpr int64_t FrameTimeNs(uint32_t ms) { return static_cast<int64_t>(ms) * kNsPerMs + kFrameTimeBiasNs; }

struct FrameGrid {
    uint32_t fpsNum = 30;
    uint32_t fpsDen = 1;

    // Root time of frame n; UINT32_MAX for frames past the timeline's range.
    constexpr uint32_t TimeOf(uint64_t frame) const {
        const uint64_t ms = frame * 1000u * fpsDen / fpsNum;
        return ms < UINT32_MAX ? static_cast<uint32_t>(ms) : UINT32_MAX;
    }
    // The first frame whose time is at least ms.
    constexpr uint64_t FirstFrameAtOrAfter(uint64_t ms) const {
        const uint64_t den = 1000u * static_cast<uint64_t>(fpsDen);
        return (ms * fpsNum + den - 1) / den;
    }
    // The last frame whose time is at most ms.
    constexpr uint64_t LastFrameAtOrBefore(uint32_t ms) const {
        return FirstFrameAtOrAfter(static_cast<uint64_t>(ms) + 1) - 1;
    }
};

}  // namespace jolp
