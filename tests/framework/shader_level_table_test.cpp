#include "framework/display.h"

#include <gtest/gtest.h>

namespace jolp {
namespace {

uint32_t Version(uint32_t major, uint32_t minor) { return 0xFFFF0000u | (major << 8) | minor; }

TEST(ShaderLevelTest, TheTableOfVersions) {
    struct Row {
        uint32_t major, minor;
        int level;
    };
    const Row rows[] = {
        {1, 0, 0}, {1, 1, 1}, {1, 2, 2}, {1, 3, 3}, {1, 4, 4}, {1, 5, 8}, {1, 200, 8},
        {2, 0, 5}, {2, 1, 6}, {2, 2, 7}, {2, 3, 8}, {2, 255, 8},
        {3, 0, 8}, {3, 1, 8}, {3, 255, 8},
        {0, 0, 0}, {0, 9, 0}, {4, 0, 0}, {5, 1, 0}, {255, 255, 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ShaderLevelFromVersion(Version(row.major, row.minor)), row.level) << row.major << "." << row.minor;
    }
}

TEST(ShaderLevelTest, TheUpperSixteenBitsAreIgnored) {
    EXPECT_EQ(ShaderLevelFromVersion(0x00000300u), 8);
    EXPECT_EQ(ShaderLevelFromVersion(0x12340200u), 5);
}

TEST(ShaderLevelTest, TwoPointZeroIsRefusedThreePointZeroAccepted) {
    EXPECT_LT(ShaderLevelFromVersion(Version(2, 0)), kRequiredShaderLevel);
    EXPECT_GE(ShaderLevelFromVersion(Version(3, 0)), kRequiredShaderLevel);
    EXPECT_STREQ(ShaderLevelName(kRequiredShaderLevel), "SM 3.0");
    EXPECT_EQ(ShaderModelRefusalText(), "Shader model no supported.\nDemo requires al least SM 3.0 to run.");
}

}  // namespace
}  // namespace jolp
