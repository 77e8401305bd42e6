#include "framework/frame_clock.h"
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

}  // namespace
}  // namespace jolp
