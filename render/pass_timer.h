// pass_timer.h - PassTimer, where the device's time goes in a frame: the
// ambient pass, each light (its shadow cube and its lighting apart), the
// water, the additive items and the composite, for the authoring overlay
// and the benchmarks.
//
// Two ways to measure. Where the device's timestamps time passes (a GPU),
// each pass ends with a timestamp query, and the times of a frame are read
// a few frames later, when the device has got there, without waiting for
// it. Elsewhere (a software rasterizer, which works a whole frame tile by
// tile) each pass ends with a wait for the device and the clock is read:
// that serialises the frame, so the total is a little above an unmeasured
// frame's, but each pass's share is its own.
//
// The render system calls Begin at the start of a frame, Mark at the end of
// each pass, End after the composite; Off makes all three do nothing. Up to
// kMaxLights lights are timed one by one; the time of any more goes to the
// pass that follows them.
//
// Ownership: borrows the device, which must outlive it. SetOn(true) makes
// its queries (once); nothing else allocates.
#pragma once

#include "platform/gfx_device.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace jolp {

enum class TimedPass : uint8_t { Ambient, ShadowCube, Light, Water, Additive, Composite };

struct PassTime {
    TimedPass pass = TimedPass::Ambient;
    const char* light = nullptr;  // the light's name for ShadowCube and Light (may be null)
    int32_t lightIndex = -1;      // its place in the frame's light list
    float ms = 0.0f;
};

class PassTimer {
public:
    static constexpr size_t kMaxLights = 32;
    static constexpr size_t kMaxMarks = 4 + 2 * kMaxLights;

    explicit PassTimer(GfxDevice& device);
    ~PassTimer();

    void SetOn(bool on);
    bool On() const { return on_; }
    // True when the times come from waiting for the device after each pass.
    bool Waited() const { return !useQueries_; }

    void Begin();
    void Mark(TimedPass pass, const char* light = nullptr, int32_t lightIndex = -1);
    void End();

    // The passes of the latest frame measured, in the order drawn; empty
    // until one has been.
    std::span<const PassTime> Last() const { return {last_.data(), lastCount_}; }

private:
    using Clock = std::chrono::steady_clock;
    struct Frame {
        std::array<std::unique_ptr<TimestampQuery>, kMaxMarks + 1> queries;  // [0] at Begin
        std::array<PassTime, kMaxMarks> passes;
        size_t count = 0;
        bool pending = false;
    };
    static constexpr size_t kFrames = 4;
    bool Collect(Frame& frame);

    GfxDevice& device_;
    bool on_ = false;
    bool useQueries_ = false;
    std::array<Frame, kFrames> frames_;
    size_t current_ = 0;
    bool inFrame_ = false;
    size_t lights_ = 0;
    Clock::time_point lastMark_;
    std::array<PassTime, kMaxMarks> last_;
    size_t lastCount_ = 0;
};

// The latest frame's times as lines of text: the total and the fixed
// passes on the first two, then one line per light drawn. Writes at most
// size bytes (terminated); returns the length written.
size_t DescribePassTimes(std::span<const PassTime> times, bool waited, char* text, size_t size);

}  // namespace jolp
