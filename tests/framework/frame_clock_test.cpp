#include "framework/frame_clock.h"
#include "framework/frame_grid.h"
#include "platform/counter.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace jolp {
namespace {

TEST(FrameClockOutputs, StartsAtZeroFromTheFirstReading) {
    VirtualCounter counter(1000, 5000);
    counter.Set(7000);  // later than the first reading: the clock still starts at 5000
    FrameClock clock(counter);
    EXPECT_EQ(clock.elapsedMs, 0);
    EXPECT_EQ(clock.deltaMs, 0);
    EXPECT_EQ(clock.elapsedSeconds, 0.0f);
    EXPECT_EQ(clock.deltaSeconds, 0.0f);
    EXPECT_EQ(clock.speed, 1);

    clock.Update();
    EXPECT_EQ(clock.elapsedMs, 2000);
    EXPECT_EQ(clock.deltaMs, 2000);
    EXPECT_FLOAT_EQ(clock.elapsedSeconds, 2.0f);
    EXPECT_FLOAT_EQ(clock.deltaSeconds, 2.0f);
}

TEST(FrameClockOutputs, MillisecondsAreTruncated) {
    VirtualCounter counter(10000);
    FrameClock clock(counter);
    counter.Set(9999);
    clock.Update();
    EXPECT_EQ(clock.deltaMs, 999);
    EXPECT_EQ(clock.elapsedMs, 999);
    EXPECT_FLOAT_EQ(clock.deltaSeconds, 0.9999f);

    counter.Set(10014);
    clock.Update();
    EXPECT_EQ(clock.deltaMs, 1);
    EXPECT_EQ(clock.elapsedMs, 1001);
}

TEST(FrameClockOutputs, NoCounterChangeGivesZeroDelta) {
    VirtualCounter counter(1000);
    FrameClock clock(counter);
    counter.Advance(120);
    clock.Update();
    clock.Update();
    EXPECT_EQ(clock.deltaMs, 0);
    EXPECT_EQ(clock.deltaSeconds, 0.0f);
    EXPECT_EQ(clock.elapsedMs, 120);
    EXPECT_FLOAT_EQ(clock.elapsedSeconds, 0.12f);
}

TEST(FrameClockOutputs, SpeedScalesTheTruncatedMilliseconds) {
    VirtualCounter counter(3000);
    FrameClock clock(counter);
    clock.speed = 3;
    counter.Advance(100);  // 33.33 ms
    clock.Update();
    EXPECT_EQ(clock.deltaMs, 99) << "truncated, then scaled";
    EXPECT_EQ(clock.elapsedMs, 99);
    EXPECT_FLOAT_EQ(clock.deltaSeconds, 0.1f);
    EXPECT_FLOAT_EQ(clock.elapsedSeconds, 0.1f);
}

TEST(FrameClockOutputs, RestartMakesTheLastUpdateTimeZero) {
    VirtualCounter counter(1000);
    FrameClock clock(counter);
    counter.Set(400);
    clock.Update();
    clock.speed = 2;
    counter.Set(1000);  // read by no Update before the restart
    clock.Restart();
    EXPECT_EQ(clock.elapsedMs, 0);
    EXPECT_EQ(clock.deltaMs, 0);
    EXPECT_EQ(clock.elapsedSeconds, 0.0f);
    EXPECT_EQ(clock.deltaSeconds, 0.0f);
    EXPECT_EQ(clock.speed, 1);

    clock.Update();
    EXPECT_EQ(clock.elapsedMs, 600);
    EXPECT_EQ(clock.deltaMs, 600);
}

TEST(FrameClockOutputs, ElapsedDoesNotDriftOverManyFrames) {
    constexpr int64_t kFrequency = 3000000;
    constexpr int64_t kStep = 100001;  // 33.3336... ms
    VirtualCounter counter(kFrequency, 123456789);
    FrameClock clock(counter);
    int64_t summedDeltas = 0;
    for (int64_t frame = 1; frame <= 100000; ++frame) {
        counter.Advance(kStep);
        clock.Update();
        summedDeltas += clock.deltaMs;
        const int64_t exactMs = frame * kStep * 1000 / kFrequency;
        ASSERT_EQ(clock.elapsedMs, exactMs) << "frame " << frame;
        ASSERT_EQ(clock.deltaMs, 33) << "frame " << frame;
    }
    EXPECT_EQ(clock.elapsedMs, 3333366);
    EXPECT_LT(summedDeltas, clock.elapsedMs);
    EXPECT_NEAR(clock.elapsedSeconds, 3333.3667f, 0.001f);
}

// The frame grid every self-stepped loop draws on, and the counter reading
// that shows a frame's time.
TEST(FrameGrid, FramesLandOnWholeMillisecondsWithoutDrift) {
    const FrameGrid thirty;
    EXPECT_EQ(thirty.TimeOf(0), 0u);
    EXPECT_EQ(thirty.TimeOf(1), 33u);
    EXPECT_EQ(thirty.TimeOf(2), 66u);
    EXPECT_EQ(thirty.TimeOf(3), 100u);
    EXPECT_EQ(thirty.TimeOf(601), 20033u);

    const FrameGrid ntsc{60000, 1001};
    EXPECT_EQ(ntsc.TimeOf(1), 16u);
    EXPECT_EQ(ntsc.TimeOf(60000), 1001000u);
    EXPECT_EQ(ntsc.TimeOf(3000000), 50050000u);
    // Past the timeline's 32 bits the time stays at its end, not wrapped
    // round to an early frame.
    EXPECT_EQ(FrameGrid({1, 1}).TimeOf(4294968), UINT32_MAX);
}

TEST(FrameGrid, FramesAndTheirTimesAgree) {
    const FrameGrid thirty;
    EXPECT_EQ(thirty.LastFrameAtOrBefore(20033), 601u);
    EXPECT_EQ(thirty.LastFrameAtOrBefore(20032), 600u);
    EXPECT_EQ(thirty.LastFrameAtOrBefore(0), 0u);
    EXPECT_EQ(thirty.FirstFrameAtOrAfter(20033), 601u);
    EXPECT_EQ(thirty.FirstFrameAtOrAfter(20034), 602u);
    EXPECT_EQ(thirty.FirstFrameAtOrAfter(0), 0u);
    for (const FrameGrid grid : {FrameGrid{30000, 1001}, FrameGrid{60000, 1001}, FrameGrid{1000, 1}, FrameGrid{7, 3}}) {
        for (uint64_t n = 0; n < 7000; n += 37) {
            const uint32_t t = grid.TimeOf(n);
            ASSERT_EQ(grid.LastFrameAtOrBefore(t), n) << grid.fpsNum << "/" << grid.fpsDen << " frame " << n;
            ASSERT_EQ(grid.FirstFrameAtOrAfter(t), n) << grid.fpsNum << "/" << grid.fpsDen << " frame " << n;
            if (grid.TimeOf(n + 1) > t + 1) {
                EXPECT_EQ(grid.LastFrameAtOrBefore(grid.TimeOf(n + 1) - 1), n);
                EXPECT_EQ(grid.FirstFrameAtOrAfter(t + 1), n + 1);
            }
        }
    }
}

TEST(FrameGrid, EachFrameTimeReadsAsItsOwnMillisecond) {
    // The nanosecond counter of headless runs, read by the clock as the
    // demo's tracks see it, over an hour of a 59.94 frames/s capture.
    VirtualCounter counter(1000000000, 0);
    FrameClock clock(counter);
    const FrameGrid grid{60000, 1001};
    for (uint64_t n = 0; n < 216000; ++n) {
        const uint32_t t = grid.TimeOf(n);
        counter.Set(FrameTimeNs(t));
        clock.Update();
        ASSERT_EQ(clock.elapsedMs, static_cast<int32_t>(t)) << "frame " << n;
    }
}

}  // namespace
}  // namespace jolp
