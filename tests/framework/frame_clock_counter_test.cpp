#include "framework/frame_clock.h"

#include <gtest/gtest.h>

namespace jolp {
namespace {

TEST(FrameClockTest, StartsAtTheCountersFirstReadingWithEverythingZero) {
    VirtualCounter counter(1000, 5000);
    counter.Set(7000);
    FrameClock clock(counter);
    EXPECT_EQ(clock.elapsedMs, 0);
    EXPECT_EQ(clock.deltaMs, 0);
    EXPECT_EQ(clock.elapsedSeconds, 0.0f);
    EXPECT_EQ(clock.speed, 1);
    clock.Update();
    // Measured from the first reading, not from construction.
    EXPECT_EQ(clock.elapsedMs, 2000);
    EXPECT_EQ(clock.deltaMs, 2000);
    EXPECT_FLOAT_EQ(clock.elapsedSeconds, 2.0f);
}

TEST(FrameClockTest, MillisecondsAreTruncatedNeverRounded) {
    VirtualCounter counter(10000, 0);
    FrameClock clock(counter);
    counter.Set(9999);  // 0.9999 s
    clock.Update();
    EXPECT_EQ(clock.elapsedMs, 999);
    EXPECT_EQ(clock.deltaMs, 999);
    EXPECT_FLOAT_EQ(clock.elapsedSeconds, 0.9999f);
}

TEST(FrameClockTest, RestartMakesTheLatestUpdateTimeZero) {
    VirtualCounter counter(1000, 0);
    FrameClock clock(counter);
    counter.Set(3000);
    clock.Update();
    counter.Set(3500);  // time passes between the update and the restart
    clock.Restart();
    EXPECT_EQ(clock.elapsedMs, 0);
    EXPECT_EQ(clock.deltaMs, 0);
    EXPECT_EQ(clock.elapsedSeconds, 0.0f);
    EXPECT_EQ(clock.deltaSeconds, 0.0f);
    clock.Update();
    EXPECT_EQ(clock.elapsedMs, 500) << "measured from the reading of the last update";
    EXPECT_EQ(clock.deltaMs, 500);
}

TEST(FrameClockTest, UpdatesWithoutTicksGiveAZeroStepAndKeepTheElapsedTime) {
    VirtualCounter counter(1000, 0);
    FrameClock clock(counter);
    counter.Set(1234);
    clock.Update();
    clock.Update();
    EXPECT_EQ(clock.deltaMs, 0);
    EXPECT_EQ(clock.deltaSeconds, 0.0f);
    EXPECT_EQ(clock.elapsedMs, 1234);
}

TEST(FrameClockTest, ElapsedTimeIsMeasuredFromTheOriginSoItCannotDrift) {
    // 100001 ticks at 3 MHz is 33.333666... ms a frame: truncated steps sum
    // to far less than the truth, the elapsed time must not.
    VirtualCounter counter(3000000, 0);
    FrameClock clock(counter);
    int64_t summedDeltaMs = 0;
    constexpr int64_t kStep = 100001;
    constexpr int kFrames = 100000;
    for (int i = 1; i <= kFrames; ++i) {
        counter.Advance(kStep);
        clock.Update();
        summedDeltaMs += clock.deltaMs;
        ASSERT_EQ(clock.elapsedMs, static_cast<int32_t>(i * kStep * 1000 / 3000000)) << "frame " << i;
    }
    EXPECT_EQ(summedDeltaMs, 33LL * kFrames);
    EXPECT_NEAR(clock.elapsedSeconds, kFrames * kStep / 3000000.0, 1e-3);
}

}  // namespace
}  // namespace jolp
