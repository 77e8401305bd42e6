// The shot table's fades at and past their edges, and the part the
// authoring mode is told of at the cuts.
#include "render/camera_shots.h"

#include <gtest/gtest.h>

namespace jolp {
namespace {

constexpr CameraShot kShots[] = {{"A", 0, 4000, 0.8f, 0.8f}, {"B", 4000, 8000}, {"A", 9000, 12000, 1.0f, 0.0f}};

TEST(CameraShots, FadesRiseAndFallAtTheEdgesAndStayInRange) {
    const CameraShot& faded = kShots[0];
    EXPECT_FLOAT_EQ(ShotFade(faded, 4.0f, 0.0f), 0.0f);
    EXPECT_FLOAT_EQ(ShotFade(faded, 4.0f, 0.4f), 0.5f);
    EXPECT_FLOAT_EQ(ShotFade(faded, 4.0f, 2.0f), 1.0f);
    EXPECT_FLOAT_EQ(ShotFade(faded, 4.0f, 3.6f), 0.5f);
    // A frame past the end (a late clock) is black, not negative.
    EXPECT_FLOAT_EQ(ShotFade(faded, 4.0f, 4.1f), 0.0f);
    // A shot shorter than its fades peaks below 1.
    EXPECT_FLOAT_EQ(ShotFade(faded, 0.8f, 0.4f), 0.5f);
    // No fade is full from the first frame to the last: never a division by 0.
    EXPECT_FLOAT_EQ(ShotFade(kShots[1], 4.0f, 0.0f), 1.0f);
    EXPECT_FLOAT_EQ(ShotFade(kShots[1], 4.0f, 4.0f), 1.0f);
    EXPECT_FLOAT_EQ(ShotFade(kShots[2], 3.0f, 2.999f), 1.0f);
}

TEST(CameraShots, ThePartIsTheShotRunningAtTheTimeAndNoneInAGap) {
    DemoProgram::PartInfo part;
    ASSERT_TRUE(DescribeShot(3999, kShots, part));
    EXPECT_EQ(part.index, 0u);
    EXPECT_EQ(part.count, 3u);
    ASSERT_TRUE(DescribeShot(4000, kShots, part));  // a cut belongs to the shot it starts
    EXPECT_EQ(part.index, 1u);
    EXPECT_STREQ(part.name, "B");
    EXPECT_STREQ(part.kind, "shot");
    EXPECT_EQ(part.startMs, 4000u);
    EXPECT_EQ(part.endMs, 8000u);
    EXPECT_FALSE(DescribeShot(8500, kShots, part));
    ASSERT_TRUE(DescribeShot(9000, kShots, part));
    EXPECT_EQ(part.index, 2u);
    EXPECT_FALSE(DescribeShot(12000, kShots, part));
}

}  // namespace
}  // namespace jolp
