#include "platform/letterbox.h"

#include <gtest/gtest.h>

namespace jolp {
namespace {

TEST(LetterboxTest, SixteenByNineIntoTheBackBuffer) {
    EXPECT_EQ(Letterbox(16, 9, Rect{0, 0, 640, 480}), (Rect{0, 60, 640, 420}));
}

TEST(LetterboxTest, ARectangleOfTheSameAspectIsUnchanged) {
    EXPECT_EQ(Letterbox(16, 9, Rect{0, 0, 1920, 1080}), (Rect{0, 0, 1920, 1080}));
    EXPECT_EQ(Letterbox(16, 9, Rect{100, 50, 740, 410}), (Rect{100, 50, 740, 410}));
}

TEST(LetterboxTest, BarsAboveAndBelowOrLeftAndRight) {
    EXPECT_EQ(Letterbox(16, 9, Rect{0, 0, 480, 640}), (Rect{0, 185, 480, 455}));   // portrait
    EXPECT_EQ(Letterbox(16, 9, Rect{0, 0, 1000, 400}), (Rect{145, 0, 855, 400}));  // wider than 16:9
}

TEST(LetterboxTest, OddSizesRoundEachHalfDown) {
    // 16:9 into 641 x 481: h = 9 * 641 / 16 = 360, halves 240 and 180.
    EXPECT_EQ(Letterbox(16, 9, Rect{0, 0, 641, 481}), (Rect{0, 60, 640, 420}));
}

}  // namespace
}  // namespace jolp
