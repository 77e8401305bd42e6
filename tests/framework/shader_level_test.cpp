#include "framework/display.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace jolp {
namespace {

constexpr uint32_t Version(uint32_t major, uint32_t minor) { return (major << 8) | minor; }

TEST(ShaderLevelMapping, TableOfVersions) {
    struct Case {
        uint32_t major, minor;
        int level;
    };
    const Case cases[] = {
        {1, 0, 0}, {1, 1, 1}, {1, 4, 4}, {1, 5, 8}, {1, 255, 8},   // 1.x
        {2, 0, 5}, {2, 1, 6}, {2, 2, 7}, {2, 3, 8}, {2, 255, 8},   // 2.x
        {3, 0, 8}, {3, 1, 8}, {3, 255, 8},                         // 3.x
        {0, 0, 0}, {0, 9, 0}, {4, 0, 0}, {10, 1, 0}, {255, 255, 0}, // unknown
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShaderLevelFromVersion(Version(c.major, c.minor)), c.level) << c.major << "." << c.minor;
    }
}

TEST(ShaderLevelMapping, UpperBitsAreIgnored) {
    EXPECT_EQ(ShaderLevelFromVersion(0xFFFF0000u | Version(3, 0)), 8);
    EXPECT_EQ(ShaderLevelFromVersion(0xFFFF0000u | Version(2, 0)), 5);
    EXPECT_EQ(ShaderLevelFromVersion(0x00010000u | Version(1, 3)), 3);
    EXPECT_EQ(ShaderLevelFromVersion(0x04000000u), 0);
}

TEST(ShaderLevelMapping, DemoNeedsShaderModelThree) {
    EXPECT_EQ(kRequiredShaderLevel, 8);
    EXPECT_STREQ(ShaderLevelName(kRequiredShaderLevel), "SM 3.0");
    EXPECT_LT(ShaderLevelFromVersion(Version(2, 0)), kRequiredShaderLevel);
    EXPECT_LT(ShaderLevelFromVersion(Version(2, 2)), kRequiredShaderLevel);
    EXPECT_GE(ShaderLevelFromVersion(Version(3, 0)), kRequiredShaderLevel);
    EXPECT_EQ(ShaderModelRefusalText(), "Shader model no supported.\nDemo requires al least SM 3.0 to run.");
}

}  // namespace
}  // namespace jolp
