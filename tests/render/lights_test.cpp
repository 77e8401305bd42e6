// Light arithmetic: the kind from the name, the shadow cube faces' matrices
// and the scissor rectangle of a light's sphere.
#include "render/lights.h"
#include "render/render_system.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

namespace jolp {
namespace {

TEST(LightKind, ComesFromCaseSensitiveWordsInTheName) {
    const RenderLight both = MakeRenderLight("lamp_shadow_cube");
    EXPECT_TRUE(both.castsShadow);
    EXPECT_TRUE(both.usesLightCube);
    EXPECT_FALSE(both.isVolume);
    EXPECT_FALSE(MakeRenderLight("Shadow").castsShadow);
    EXPECT_TRUE(MakeRenderLight("fog_volume").isVolume);
    // Values at creation.
    const RenderLight plain = MakeRenderLight("Omni01");
    EXPECT_FALSE(plain.castsShadow || plain.isVolume || plain.usesLightCube);
    EXPECT_EQ(plain.color.x, 1.0f);
    EXPECT_EQ(plain.radius, 0.0f);
}

// v x M for the point (x, y, z, 1).
void Transform(const jolp::Matrix& m, float x, float y, float z, float out[4]) {
    for (int c = 0; c < 4; ++c) out[c] = x * m.m[0][c] + y * m.m[1][c] + z * m.m[2][c] + m.m[3][c];
}

TEST(CubeFace, MatricesAreTranslationRotationAndTheSquareProjection) {
    EXPECT_EQ(std::bit_cast<uint32_t>(kCubeFaceDepthScale), 0xBF80068Eu);
    RenderLight light;
    // At the origin the face matrix is R(f) x P; face 2 (+Y) in full.
    const jolp::Matrix up = CubeFaceMatrix(light, 2);
    const float k = kCubeFaceDepthScale;
    const float expected[4][4] = {{-1, 0, 0, 0}, {0, 0, k, -1}, {0, 1, 0, 0}, {0, 0, k, 0}};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(up.m[r][c], expected[r][c]) << r << "," << c;
    }
    for (int bad : {-1, 6, 100}) {
        const jolp::Matrix zero = CubeFaceMatrix(light, bad);
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) EXPECT_EQ(zero.m[r][c], 0.0f);
        }
    }
    // Face f holds what lies against its axis from the light (the shadow
    // passes look the cube up along the direction from the point to the
    // light): such a point lands in the middle of the face, in front
    // (w > 0), with depth between 0 and 1.
    light.position = {10.0f, -3.0f, 7.0f};
    const float axes[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (int f = 0; f < 6; ++f) {
        float clip[4];
        Transform(CubeFaceMatrix(light, f), light.position.x - 20 * axes[f][0], light.position.y - 20 * axes[f][1],
                  light.position.z - 20 * axes[f][2], clip);
        EXPECT_GT(clip[3], 0.0f) << f;
        EXPECT_NEAR(clip[0] / clip[3], 0.0f, 1e-6f) << f;
        EXPECT_NEAR(clip[1] / clip[3], 0.0f, 1e-6f) << f;
        EXPECT_GT(clip[2] / clip[3], 0.0f) << f;
        EXPECT_LT(clip[2] / clip[3], 1.0f) << f;
    }
}

jolp::Matrix LookDownMinusZ() { return jolp::MatrixIdentity(); }

TEST(LightScissor, LightInFrontGetsCrossingBoundsAndTheWholePicture) {
    LightRect rect;
    EXPECT_FALSE(LightScissorRect({0, 0, -50}, LookDownMinusZ(), 4.0f, 0.8f, 1280, 720, rect));
}

TEST(LightScissor, LightBehindTheEyeGetsTheRectangleOfItsSphere) {
    LightRect rect;
    ASSERT_TRUE(LightScissorRect({0, 0, 50}, LookDownMinusZ(), 4.0f, 0.8f, 1280, 720, rect));
    EXPECT_EQ(rect.left, 518);
    EXPECT_EQ(rect.top, 238);
    EXPECT_EQ(rect.width, 243);
    EXPECT_EQ(rect.height, 243);
}

TEST(LightScissor, SphereHoldingTheEyeCoversThePicture) {
    LightRect rect;
    ASSERT_TRUE(LightScissorRect({1, 1, 1}, LookDownMinusZ(), 10.0f, 0.8f, 640, 360, rect));
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.width, 640);
    EXPECT_EQ(rect.height, 360);
}

// In the eye plane, a zero radius, a light at the eye: divisions by zero
// that must neither convert an infinity to int (undefined) nor give a
// rectangle outside the picture.
TEST(LightScissor, DegenerateInputsStayInsideThePicture) {
    const jolp::Vec3 positions[] = {{5, 0, 0}, {0, 0, 30}, {0, 0, 0}, {1e30f, 0, -1}};
    const float radii[] = {1.0f, 0.0f, 0.0f, 1e30f};
    for (int i = 0; i < 4; ++i) {
        LightRect rect;
        if (LightScissorRect(positions[i], LookDownMinusZ(), radii[i], 0.8f, 640, 360, rect)) {
            EXPECT_GE(rect.left, 0) << i;
            EXPECT_GE(rect.top, 0) << i;
            EXPECT_LE(rect.left + rect.width, 640) << i;
            EXPECT_LE(rect.top + rect.height, 360) << i;
        }
    }
}

// The screen bounds of spheres in front of the camera hold every pixel of
// their outline (sampled over the sphere) and are not much larger.
TEST(SphereBounds, HoldTheOutlineOfSpheresInFrontOfTheCamera) {
    jolp::CameraView camera;
    camera.fov = 0.8f;
    camera.aspect = 16.0f / 9.0f;
    camera.nearPlane = 1.0f;
    camera.farPlane = 5000.0f;
    const jolp::Matrix p = CameraProjectionMatrix(camera);
    const int w = 1280, h = 720;
    const float spheres[][4] = {{10, 5, -50, 4}, {-20, -8, -40, 4}, {0, 0, -50, 4}, {30, 10, -30, 6}, {-5, 12, -20, 3}};
    for (const auto& s : spheres) {
        float x0 = 1e9f, x1 = -1e9f, y0 = 1e9f, y1 = -1e9f;
        for (int i = 0; i < 64; ++i) {
            for (int j = 0; j <= 32; ++j) {
                const float a = static_cast<float>(i) * 6.2831853f / 64.0f, b = static_cast<float>(j) * 3.1415927f / 32.0f;
                const float x = s[0] + s[3] * std::sin(b) * std::cos(a), y = s[1] + s[3] * std::sin(b) * std::sin(a);
                const float z = s[2] + s[3] * std::cos(b);
                const float sx = (x * p.m[0][0] / -z * 0.5f + 0.5f) * w, sy = (0.5f - y * p.m[1][1] / -z * 0.5f) * h;
                x0 = std::min(x0, sx), x1 = std::max(x1, sx), y0 = std::min(y0, sy), y1 = std::max(y1, sy);
            }
        }
        const bool onScreen = x0 >= 0.0f && x1 <= 1280.0f && y0 >= 0.0f && y1 <= 720.0f;
        x0 = std::clamp(x0, 0.0f, 1280.0f), x1 = std::clamp(x1, 0.0f, 1280.0f);
        y0 = std::clamp(y0, 0.0f, 720.0f), y1 = std::clamp(y1, 0.0f, 720.0f);
        LightRect r;
        ASSERT_TRUE(SphereScreenBounds({s[0], s[1], s[2]}, s[3], p, 1.0f, w, h, r)) << s[0];
        EXPECT_LE(r.left, x0) << s[0];
        EXPECT_GE(r.left + r.width, x1) << s[0];
        EXPECT_LE(r.top, y0) << s[0];
        EXPECT_GE(r.top + r.height, y1) << s[0];
        // The box's corners overshoot the outline by a bounded amount.
        if (!onScreen) continue;
        EXPECT_LT(static_cast<float>(r.width), (x1 - x0) * 1.6f + 4.0f) << s[0];
        EXPECT_LT(static_cast<float>(r.height), (y1 - y0) * 1.6f + 4.0f) << s[0];
    }
    // Reaching the near plane, or behind the camera: no bounds.
    LightRect r;
    EXPECT_FALSE(SphereScreenBounds({0, 0, -4}, 3.5f, p, 1.0f, w, h, r));
    EXPECT_FALSE(SphereScreenBounds({0, 0, 50}, 4.0f, p, 1.0f, w, h, r));
    // Off screen to the right: an empty rectangle.
    ASSERT_TRUE(SphereScreenBounds({200, 0, -50}, 4.0f, p, 1.0f, w, h, r));
    EXPECT_EQ(r.width, 0);
}

}  // namespace
}  // namespace jolp
