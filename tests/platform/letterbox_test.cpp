#include "platform/letterbox.h"

#include <gtest/gtest.h>

namespace jolp {
namespace {

TEST(LetterboxFit, BarsAboveAndBelowInAFourThreeScreen) {
    EXPECT_EQ(Letterbox(16, 9, Rect{0, 0, 640, 480}), (Rect{0, 60, 640, 420}));
    EXPECT_EQ(Letterbox(16, 9, Rect{10, 20, 650, 500}), (Rect{10, 80, 650, 440}));
}

TEST(LetterboxFit, MatchingRatioIsUnchanged) {
    EXPECT_EQ(Letterbox(16, 9, Rect{0, 0, 1920, 1080}), (Rect{0, 0, 1920, 1080}));
    EXPECT_EQ(Letterbox(16, 9, Rect{100, 50, 2020, 1130}), (Rect{100, 50, 2020, 1130}));
}

TEST(LetterboxFit, PortraitAndWideScreens) {
    EXPECT_EQ(Letterbox(16, 9, Rect{0, 0, 480, 640}), (Rect{0, 185, 480, 455}));
    EXPECT_EQ(Letterbox(16, 9, Rect{0, 0, 1000, 400}), (Rect{145, 0, 855, 400}));
}

TEST(LetterboxFit, OddSizesTruncateSymmetrically) {
    // 9 * 641 / 16 = 360; the halves of 641 and 360 truncate, so the picture
    // is one column narrower than the screen.
    EXPECT_EQ(Letterbox(16, 9, Rect{0, 0, 641, 481}), (Rect{0, 60, 640, 420}));
    // 16 * 401 / 9 = 712: height 401 loses its odd row the same way.
    EXPECT_EQ(Letterbox(16, 9, Rect{0, 0, 1001, 401}), (Rect{144, 0, 856, 400}));
    // 9 * 643 / 16 = 361 fits exactly: the full width is kept, not 16 * 361 / 9.
    EXPECT_EQ(Letterbox(16, 9, Rect{0, 0, 643, 361}), (Rect{0, 0, 642, 360}));
}

}  // namespace
}  // namespace jolp
