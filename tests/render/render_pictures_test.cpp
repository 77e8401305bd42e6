// Pictures drawn by the renderer through the real GL device: small scenes
// written by our scene writer, textures by our image writers, the effect
// files of shaders/, drawn frame by frame as the program draws them and
// read back from the back buffer. Each case looks at a few pixels whose
// world points it knows: shadows in each cube face, the light's reach,
// frames independent of the one before, mirrored objects, the fade, the
// letterbox bars, the light cube, the water's reflection, and a flat frame's
// background and shapes.
#include "tests/render/picture_scene.h"

#include "render/material.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace jolp {
namespace {

using testing::AddBoxMesh;
using testing::AddFloorMesh;
using testing::AddPanelMesh;
using testing::AddPlacement;
using testing::AddStillLight;
using testing::LookAt;
using testing::Picture;
using testing::PictureRig;
using testing::Pixel;
using testing::Project;
using testing::SurfaceParameters;

constexpr float kAspect = 16.0f / 9.0f;
constexpr float kFov = 0.9f;

class RenderPictures : public ::testing::Test {
protected:
    // Effects, targets and the scene; a failure ends the test.
    static void Start(PictureRig& rig, const jolp::SceneFileBuilder& builder) {
        std::string error;
        ASSERT_TRUE(rig.Start(TARVEL_SOURCE_DIR, error)) << error;
        ASSERT_TRUE(rig.Load(builder, error)) << error;
    }

    // A floor and a box that jumps from one side of a shadow-casting light to
    // the other between t = 0 and t = 0.1, seen from above.
    static void StartJumpingBox(PictureRig& rig) {
        jolp::SceneFileBuilder b;
        const int32_t surface = b.AddLeafMaterial("surface", kLambertBlinnShaderName, SurfaceParameters());
        b.AddObject("floor", AddFloorMesh(b, 12.0f), surface, AddPlacement(b, {0, 0, 0}));
        const jolp::Transform keys[2] = {{{-2.5f, 1.5f, 0}, {0, 0, 0, 1}, {1, 1, 1}}, {{2.5f, 1.5f, 0}, {0, 0, 0, 1}, {1, 1, 1}}};
        b.AddObject("box", AddBoxMesh(b, {0.7f, 0.7f, 0.7f}), surface, b.AddTransformTrack(keys));
        AddStillLight(b, "Omni_shadow01", {0, 4, 0}, {2, 2, 2}, 20.0f);
        ASSERT_NO_FATAL_FAILURE(Start(rig, b));
        rig.renderSystem->camera = LookAt({0, 12, 10}, {0, 0, 0}, kFov, kAspect);
    }

    void KeepOnFailure(const Picture& picture, const std::string& what) {
        testing::KeepPictureOnFailure(picture, "render_pictures", what);
    }

    // The mean brightness around where a world point lands.
    static double At(const Picture& picture, const jolp::CameraView& camera, const jolp::Vec3& point,
                     const jolp::Rect& rect, int channel = -1) {
        const Pixel p = Project(camera, point, rect);
        EXPECT_TRUE(p.inFront && p.x >= rect.left && p.x < rect.right && p.y >= rect.top && p.y < rect.bottom)
            << "(" << point.x << ", " << point.y << ", " << point.z << ") is not in the picture";
        return picture.Mean(p.x, p.y, 2, channel);
    }
};

// A white floor, a box above it and one light over both.
void ShadowScene(jolp::SceneFileBuilder& b, const std::string& lightName) {
    const int32_t surface = b.AddLeafMaterial("surface", kLambertBlinnShaderName, SurfaceParameters());
    b.AddObject("floor", AddFloorMesh(b, 12.0f), surface, AddPlacement(b, {0, 0, 0}));
    b.AddObject("box", AddBoxMesh(b, {0.5f, 0.5f, 0.5f}), surface, AddPlacement(b, {2, 2, 0}));
    AddStillLight(b, lightName, {0, 4, 0}, {2, 2, 2}, 20.0f);
}

TEST_F(RenderPictures, AnOccluderShadowsTheFloorOnTheFarSideFromTheLightOnly) {
    PictureRig rig(320, 180);
    if (!rig.ok()) GTEST_SKIP() << rig.gl.error;
    jolp::SceneFileBuilder builder;
    ShadowScene(builder, "Omni_shadow01");
    ASSERT_NO_FATAL_FAILURE(Start(rig, builder));
    rig.renderSystem->camera = LookAt({0, 12, 10}, {0, 0, 0}, kFov, kAspect);
    const jolp::CameraView& camera = rig.renderSystem->camera;

    rig.Frame(0.0f, false);
    const Picture ambient = rig.Read();
    rig.Frame();
    const Picture lit = rig.Read();
    ASSERT_FALSE(lit.rgb.empty());

    // The light at (0, 4, 0) throws the box at (2, 2, 0) onto the floor
    // between x = 2.4 and 6.7 along the x axis. The other three points lie
    // as far from the light, in the open; two more lie beyond the shadow's
    // tip and opposite it.
    const double shadowed = At(lit, camera, {4.6f, 0, 0}, rig.picture);
    const double open[3] = {At(lit, camera, {-4.6f, 0, 0}, rig.picture), At(lit, camera, {0, 0, 4.6f}, rig.picture),
                            At(lit, camera, {0, 0, -4.6f}, rig.picture)};
    const double beyond = At(lit, camera, {8.5f, 0, 0}, rig.picture);
    const double opposite = At(lit, camera, {-8.5f, 0, 0}, rig.picture);
    const double ambientLevel = At(ambient, camera, {4.6f, 0, 0}, rig.picture);

    for (double o : open) {
        EXPECT_GT(o, ambientLevel + 80.0) << "an open spot is not lit";
        EXPECT_LT(shadowed, 0.35 * o);
        EXPECT_NEAR(o, open[0], 0.1 * open[0]) << "open spots as far from the light differ";
    }
    EXPECT_NEAR(shadowed, ambientLevel, 4.0) << "the shadowed spot gets some of the light";
    EXPECT_GT(beyond, ambientLevel + 30.0) << "the shadow reaches past its tip";
    EXPECT_NEAR(beyond, opposite, 0.1 * opposite);
    KeepOnFailure(lit, "lit");
}

TEST_F(RenderPictures, ShadowsFallTheRightWayInEveryCubeFaceTheFloorSees) {
    PictureRig rig(320, 180);
    if (!rig.ok()) GTEST_SKIP() << rig.gl.error;
    // Around the light at (0, 4, 0): a box off each side at height 2,
    // whose shadows on the floor are looked up in the X and Z faces, and
    // one on a diagonal, whose shadow is looked up in the +Y face beside
    // three open diagonals. None sits symmetrically to another, so a face
    // drawn mirrored or upside down moves its shadow off the spot looked at.
    // A box centred at (x, 2, z) throws its shadow around (2.3x, 0, 2.3z).
    jolp::SceneFileBuilder b;
    const int32_t surface = b.AddLeafMaterial("surface", kLambertBlinnShaderName, SurfaceParameters());
    b.AddObject("floor", AddFloorMesh(b, 12.0f), surface, AddPlacement(b, {0, 0, 0}));
    const int32_t box = AddBoxMesh(b, {0.5f, 0.5f, 0.5f});
    const int32_t small = AddBoxMesh(b, {0.4f, 0.4f, 0.4f});
    const jolp::Vec3 boxes[] = {{2, 2, 0.6f}, {-2, 2, 0.7f}, {0.7f, 2, 2}, {-0.6f, 2, -2}};
    for (const jolp::Vec3& at : boxes) b.AddObject("box", box, surface, AddPlacement(b, at));
    const jolp::Vec3 diagonal{1.2f, 2, -1.2f};
    b.AddObject("diagonal", small, surface, AddPlacement(b, diagonal));
    AddStillLight(b, "Omni_shadow01", {0, 4, 0}, {2, 2, 2}, 20.0f);
    ASSERT_NO_FATAL_FAILURE(Start(rig, b));
    rig.renderSystem->camera = LookAt({0, 20, 6}, {0, 0, 0}, kFov, kAspect);
    const jolp::CameraView& camera = rig.renderSystem->camera;

    rig.Frame(0.0f, false);
    const Picture ambient = rig.Read();
    rig.Frame();
    const Picture lit = rig.Read();
    ASSERT_FALSE(lit.rgb.empty());

    auto shadowOf = [](const jolp::Vec3& c) { return jolp::Vec3{2.3f * c.x, 0, 2.3f * c.z}; };
    std::vector<jolp::Vec3> shadowed;
    for (const jolp::Vec3& c : boxes) shadowed.push_back(shadowOf(c));
    shadowed.push_back(shadowOf(diagonal));
    for (const jolp::Vec3& p : shadowed) {
        EXPECT_NEAR(At(lit, camera, p, rig.picture), At(ambient, camera, p, rig.picture), 4.0)
            << "no shadow at (" << p.x << ", " << p.z << ")";
    }
    const jolp::Vec3 open[] = {{2.76f, 0, 2.76f}, {-2.76f, 0, 2.76f}, {-2.76f, 0, -2.76f}};
    const double first = At(lit, camera, open[0], rig.picture);
    for (const jolp::Vec3& p : open) {
        const double level = At(lit, camera, p, rig.picture);
        EXPECT_GT(level, At(ambient, camera, p, rig.picture) + 80.0) << "a shadow at (" << p.x << ", " << p.z << ")";
        EXPECT_NEAR(level, first, 0.1 * first);
    }
    KeepOnFailure(lit, "lit");
}

TEST_F(RenderPictures, AFrameDoesNotDependOnTheFrameBefore) {
    PictureRig rig(320, 180);
    if (!rig.ok()) GTEST_SKIP() << rig.gl.error;
    // A box that jumps from one side of the light to the other between
    // t = 0 and t = 0.1: what the first frame left in the depth surface or
    // the shadow cube must not show in the second.
    ASSERT_NO_FATAL_FAILURE(StartJumpingBox(rig));

    rig.Frame(0.0f);
    const Picture before = rig.Read();
    rig.Frame(0.1f);
    const Picture after = rig.Read();
    rig.Frame(0.1f);
    const Picture again = rig.Read();
    ASSERT_FALSE(again.rgb.empty());

    EXPECT_NE(before.rgb, after.rgb) << "the box did not move";
    int differing = 0;
    for (size_t i = 0; i < after.rgb.size(); ++i) differing += std::abs(after.rgb[i] - again.rgb[i]) > 1 ? 1 : 0;
    EXPECT_EQ(differing, 0) << "the frame after a different one differs from the same frame drawn twice";
    KeepOnFailure(after, "after");
}

TEST_F(RenderPictures, ARedrawShowsTheLastFrameAgainAsItWas) {
    PictureRig rig(160, 90);
    if (!rig.ok()) GTEST_SKIP() << rig.gl.error;
    ASSERT_NO_FATAL_FAILURE(StartJumpingBox(rig));

    rig.Frame(0.0f);
    rig.Frame(0.1f);
    const Picture last = rig.Read();
    EXPECT_EQ(rig.renderSystem->LastFrameLights(), 1u);
    const float time = rig.renderSystem->Time();
    // Nothing submitted: a redraw still shows the box where it was last.
    jolp::GfxDevice& device = *rig.gl.device;
    for (int i = 0; i < 3; ++i) {
        device.BeginScene();
        device.Clear(jolp::kClearTarget, 0xFF000000u, 1.0f, 0);
        rig.renderSystem->RedrawLastFrame();
        device.EndScene();
        EXPECT_EQ(rig.Read().rgb, last.rgb) << "redraw " << i;
    }
    EXPECT_EQ(rig.renderSystem->Time(), time) << "a redraw advanced the render system's time";
    EXPECT_TRUE(rig.renderSystem->opaqueItems.empty());
    // The next frame draws what is submitted for it, not the kept one.
    rig.Frame(0.0f);
    EXPECT_NE(rig.Read().rgb, last.rgb);
    // A rewind puts the time back to its start.
    rig.renderSystem->Rewind();
    EXPECT_EQ(rig.renderSystem->Time(), 0.0f);
}

TEST_F(RenderPictures, ALightDoesNotReachPastItsRadius) {
    PictureRig rig(320, 180);
    if (!rig.ok()) GTEST_SKIP() << rig.gl.error;
    jolp::SceneFileBuilder b;
    const int32_t surface = b.AddLeafMaterial("surface", kLambertBlinnShaderName, SurfaceParameters());
    b.AddObject("floor", AddFloorMesh(b, 12.0f), surface, AddPlacement(b, {0, 0, 0}));
    AddStillLight(b, "Omni01", {0, 2, 0}, {3, 3, 3}, 5.0f);
    ASSERT_NO_FATAL_FAILURE(Start(rig, b));
    rig.renderSystem->camera = LookAt({0, 10, 8}, {0, 0, 0}, kFov, kAspect);
    const jolp::CameraView& camera = rig.renderSystem->camera;

    rig.Frame(0.0f, false);
    const Picture ambient = rig.Read();
    rig.Frame();
    const Picture lit = rig.Read();
    ASSERT_FALSE(lit.rgb.empty());

    // Distances from the light: 2.5, 4.0, then 5.3 on two sides, beyond
    // the radius of 5.
    const jolp::Vec3 near{1.5f, 0, 0}, middle{0, 0, -3.46f}, pastX{4.9f, 0, 0}, pastZ{0, 0, 4.9f};
    const double nearLevel = At(lit, camera, near, rig.picture);
    const double middleLevel = At(lit, camera, middle, rig.picture);
    EXPECT_GT(nearLevel, At(ambient, camera, near, rig.picture) + 60.0);
    EXPECT_GT(middleLevel, At(ambient, camera, middle, rig.picture) + 3.0);
    EXPECT_GT(nearLevel, middleLevel + 40.0) << "the light does not fall off with distance";
    for (const jolp::Vec3& past : {pastX, pastZ}) {
        EXPECT_NEAR(At(lit, camera, past, rig.picture), At(ambient, camera, past, rig.picture), 1.5)
            << "the light reaches (" << past.x << ", " << past.z << ") past its radius";
    }
    KeepOnFailure(lit, "lit");
}

// With the passes timed, a frame reports each pass in the order drawn, its
// lights by name with the shadow cube before the light that casts it; a
// light whose sphere is wholly behind the camera is not drawn at all, from
// the second frame on (the first draws everything).
TEST_F(RenderPictures, EveryPassIsTimedInOrderAndALightOutOfViewIsNotDrawn) {
    PictureRig rig(320, 180);
    if (!rig.ok()) GTEST_SKIP() << rig.gl.error;
    jolp::SceneFileBuilder b;
    ShadowScene(b, "Omni_shadow01");
    AddStillLight(b, "Omni02", {0, 2, 40}, {1, 1, 1}, 5.0f);  // behind the camera
    ASSERT_NO_FATAL_FAILURE(Start(rig, b));
    rig.renderSystem->camera = LookAt({0, 10, 8}, {0, 0, 0}, kFov, kAspect);
    rig.renderSystem->TimePasses(true);

    auto passes = [&] {
        std::vector<std::string> seen;
        for (const PassTime& t : rig.renderSystem->Timer().Last()) {
            EXPECT_GE(t.ms, 0.0f);
            const std::string light = t.light ? t.light : "?";
            switch (t.pass) {
                case TimedPass::Ambient: seen.push_back("ambient"); break;
                case TimedPass::ShadowCube: seen.push_back("cube " + light); break;
                case TimedPass::Light: seen.push_back("light " + light); break;
                case TimedPass::Water: seen.push_back("water"); break;
                case TimedPass::Additive: seen.push_back("additive"); break;
                case TimedPass::Composite: seen.push_back("composite"); break;
            }
        }
        return seen;
    };
    rig.Frame();
    const std::vector<std::string> first = {"ambient",     "cube Omni_shadow01", "light Omni_shadow01",
                                            "light Omni02", "water", "additive", "composite"};
    EXPECT_EQ(passes(), first);
    rig.Frame();
    const std::vector<std::string> culled = {"ambient", "cube Omni_shadow01", "light Omni_shadow01", "water",
                                             "additive", "composite"};
    EXPECT_EQ(passes(), culled);

    char text[512];
    ASSERT_GT(rig.renderSystem->DescribePassTimes(text, sizeof text), 0u);
    EXPECT_NE(std::string(text).find("Omni_shadow01"), std::string::npos) << text;
    EXPECT_NE(std::string(text).find("+ shadow cube"), std::string::npos) << text;
    // A short buffer is cut, and still terminated.
    char shortText[16];
    EXPECT_EQ(rig.renderSystem->DescribePassTimes(shortText, sizeof shortText), sizeof shortText - 1);
    EXPECT_EQ(shortText[sizeof shortText - 1], '\0');
}

TEST_F(RenderPictures, AMirroredObjectIsDrawnAndLitLikeItsOriginal) {
    PictureRig rig(320, 180);
    if (!rig.ok()) GTEST_SKIP() << rig.gl.error;
    // Two one-sided panels facing the camera, the right one mirrored in x
    // by its transform: its triangles wind the other way round on screen.
    jolp::SceneFileBuilder b;
    const int32_t grey = b.AddLeafMaterial("grey", kLambertBlinnShaderName, SurfaceParameters(testing::kGreyTex));
    const int32_t panel = AddPanelMesh(b, 1.0f, 1.0f);
    b.AddObject("panel", panel, grey, AddPlacement(b, {-1.5f, 0, 0}));
    b.AddObject("mirrored", panel, grey, AddPlacement(b, {1.5f, 0, 0}, {-1.0f, 1.0f, 1.0f}));
    AddStillLight(b, "Omni01", {0, 0, 4}, {1, 1, 1}, 30.0f);
    ASSERT_NO_FATAL_FAILURE(Start(rig, b));
    rig.renderSystem->camera = LookAt({0, 0, 8}, {0, 0, 0}, kFov, kAspect);
    const jolp::CameraView& camera = rig.renderSystem->camera;

    rig.Frame();
    const Picture picture = rig.Read();
    ASSERT_FALSE(picture.rgb.empty());

    // The background is the white clear; the panels are far darker.
    int covered[2] = {0, 0};
    for (int32_t y = 0; y < picture.height; ++y) {
        for (int32_t x = 0; x < picture.width; ++x) {
            if (picture.Mean(x, y, 0) < 180.0) ++covered[x < picture.width / 2 ? 0 : 1];
        }
    }
    EXPECT_GT(covered[0], 1000) << "the plain panel is not drawn";
    EXPECT_NEAR(covered[1], covered[0], 0.05 * covered[0]) << "the mirrored panel is culled or misshapen";
    const double plainLevel = At(picture, camera, {-1.5f, 0, 0}, rig.picture);
    const double mirroredLevel = At(picture, camera, {1.5f, 0, 0}, rig.picture);
    EXPECT_GT(plainLevel, 60.0) << "the plain panel is not lit";
    EXPECT_NEAR(mirroredLevel, plainLevel, 3.0) << "the mirrored panel is lit differently";
    KeepOnFailure(picture, "frame");
}

// A floor whose tangent runs along its normal at every corner (a modelling
// slip, or a vertex where the texture mapping collapses): the shader must
// not build a frame of NaNs from it. NaN texture coordinates make mip and
// anisotropy selection meaningless; llvmpipe's anisotropic filter never
// returned from such a draw. With the flat normal map the floor is lit
// exactly as with a proper tangent.
int32_t AddFloorWithTangent(jolp::SceneFileBuilder& b, const jolp::Vec3& tangent) {
    const int32_t mesh = b.AddMesh();
    auto corner = [&](float x, float z, float u, float v) {
        jolp::SceneVertex vertex;
        vertex.position = {x, 0.0f, z};
        vertex.normal = {0.0f, 1.0f, 0.0f};
        vertex.u = u;
        vertex.v = v;
        vertex.tangent = tangent;
        vertex.binormal = {0.0f, 0.0f, 1.0f};
        return vertex;
    };
    const jolp::SceneVertex vertices[4] = {corner(-6, 6, 0, 1), corner(-6, -6, 0, 0), corner(6, -6, 1, 0),
                                           corner(6, 6, 1, 1)};
    const uint32_t indices[6] = {0, 1, 2, 0, 2, 3};
    b.AddSubmesh(mesh, 0, vertices, indices);
    return mesh;
}

TEST_F(RenderPictures, ATangentAlongTheNormalIsLitLikeAProperOne) {
    Picture pictures[2];
    const jolp::Vec3 tangents[2] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}};
    const jolp::CameraView camera = LookAt({0, 8, 8}, {0, 0, 0}, kFov, kAspect);
    for (int i = 0; i < 2; ++i) {
        PictureRig rig(320, 180);
        if (!rig.ok()) GTEST_SKIP() << rig.gl.error;
        jolp::SceneFileBuilder builder;
        const int32_t surface =
            builder.AddLeafMaterial("surface", kParallaxedLambertBlinnShaderName, testing::ParallaxParameters());
        builder.AddObject("floor", AddFloorWithTangent(builder, tangents[i]), surface, AddPlacement(builder, {0, 0, 0}));
        AddStillLight(builder, "Omni_shadow01", {0, 3, 0}, {2, 2, 2}, 20.0f);
        ASSERT_NO_FATAL_FAILURE(Start(rig, builder));
        rig.renderSystem->camera = camera;
        rig.Frame();
        pictures[i] = rig.Read();
        KeepOnFailure(pictures[i], i == 0 ? "proper" : "along_normal");
    }
    const jolp::Rect picture{0, 0, 320, 180};
    for (const jolp::Vec3& p : {jolp::Vec3{0, 0, 0}, jolp::Vec3{-3, 0, 2}, jolp::Vec3{3, 0, -3}}) {
        const double proper = At(pictures[0], camera, p, picture);
        EXPECT_GT(proper, 40.0) << "the light does not reach the floor";
        EXPECT_NEAR(At(pictures[1], camera, p, picture), proper, 2.0) << p.x << ", " << p.z;
    }
}

TEST_F(RenderPictures, FadeScalesThePictureDownToBlack) {
    PictureRig rig(320, 180);
    if (!rig.ok()) GTEST_SKIP() << rig.gl.error;
    jolp::SceneFileBuilder builder;
    ShadowScene(builder, "Omni_shadow01");
    ASSERT_NO_FATAL_FAILURE(Start(rig, builder));
    rig.renderSystem->camera = LookAt({0, 12, 10}, {0, 0, 0}, kFov, kAspect);
    const jolp::CameraView& camera = rig.renderSystem->camera;

    rig.renderSystem->fade = 1.0f;
    rig.Frame();
    const Picture full = rig.Read();
    rig.renderSystem->fade = 0.5f;
    rig.Frame();
    const Picture half = rig.Read();
    rig.renderSystem->fade = 0.0f;
    rig.Frame();
    const Picture black = rig.Read();
    ASSERT_FALSE(black.rgb.empty());

    EXPECT_EQ(*std::max_element(black.rgb.begin(), black.rgb.end()), 0) << "fade 0 leaves light in the picture";
    for (const jolp::Vec3& p : {jolp::Vec3{-4.6f, 0, 0}, jolp::Vec3{4.6f, 0, 0}, jolp::Vec3{0, 0, -11}}) {
        const double level = At(full, camera, p, rig.picture);
        EXPECT_NEAR(At(half, camera, p, rig.picture), level / 2.0, 1.5);
    }
    EXPECT_GT(full.Mean(2, 2, 2), 200.0) << "the white clear does not show behind the scene";
    KeepOnFailure(full, "full");
}

TEST_F(RenderPictures, A640x480BackBufferHasBlackBarsAboveAndBelowThePicture) {
    const jolp::Rect letterbox = jolp::Letterbox(16, 9, jolp::Rect{0, 0, 640, 480});
    ASSERT_EQ(letterbox, (jolp::Rect{0, 60, 640, 420}));
    PictureRig rig(640, 480, letterbox);
    if (!rig.ok()) GTEST_SKIP() << rig.gl.error;
    jolp::SceneFileBuilder builder;
    ShadowScene(builder, "Omni01");
    ASSERT_NO_FATAL_FAILURE(Start(rig, builder));
    rig.renderSystem->camera = LookAt({0, 12, 10}, {0, 0, 0}, kFov, kAspect);

    rig.Frame();
    const Picture picture = rig.Read();
    ASSERT_FALSE(picture.rgb.empty());

    int32_t litBarPixels = 0, blackPicturePixels = 0;
    for (int32_t y = 0; y < picture.height; ++y) {
        for (int32_t x = 0; x < picture.width; ++x) {
            const uint8_t* p = picture.At(x, y);
            const bool black = p[0] == 0 && p[1] == 0 && p[2] == 0;
            if (y < 60 || y >= 420) {
                litBarPixels += black ? 0 : 1;
            } else {
                blackPicturePixels += black ? 1 : 0;
            }
        }
    }
    EXPECT_EQ(litBarPixels, 0) << "the bars are not black";
    EXPECT_EQ(blackPicturePixels, 0) << "the picture does not fill rows 60 to 419";
    // The floor and the box land where the picture rectangle puts them.
    const double floorLevel = At(picture, rig.renderSystem->camera, {0, 0, -10}, rig.picture);
    EXPECT_LT(floorLevel, 150.0);
    EXPECT_GT(picture.Mean(320, 62, 2), 200.0) << "the white clear does not show above the floor";
    KeepOnFailure(picture, "frame");
}

// A frame with no scene: the standard gradient behind two glowing discs in
// a letterboxed picture, whose fractions are the picture's, not the back
// buffer's.
TEST_F(RenderPictures, AFlatFrameDrawsItsGradientAndDiscsInsideThePicture) {
    PictureRig rig(320, 240, jolp::Rect{0, 30, 320, 210});
    if (!rig.ok()) GTEST_SKIP() << rig.gl.error;
    rig.files.backgroundEffect = kBackgroundEffectPath;
    rig.files.shapesEffect = kShapesEffectPath;
    std::string error;
    ASSERT_TRUE(rig.Start(TARVEL_SOURCE_DIR, error)) << error;
    RenderSystem& rs = *rig.renderSystem;
    rs.background = {{0.05f, 0.1f, 0.3f, 1.0f}, {0.3f, 0.15f, 0.05f, 1.0f}};
    // A soft grey disc on the left, a sharp green one with a halo on the
    // right; 180 pixels to the picture's height.
    const Shape2D soft{{0.3f, 0.5f, 0.0f}, {0.1f, 0.1f}, {0.4f, 0.4f, 0.4f, 1.0f}, 0.5f};
    const Shape2D glowing{{0.75f, 0.5f, 0.0f}, {0.1f, 0.1f}, {0.0f, 0.6f, 0.0f, 1.0f}, 0.0f, 1.0f};
    const auto frame = [&](float fade) {
        rs.fade = fade;
        EXPECT_TRUE(rs.SubmitShape(soft) && rs.SubmitShape(glowing));
        rig.Frame();
        return rig.Read();
    };
    const Picture full = frame(1.0f);
    ASSERT_FALSE(full.rgb.empty());
    KeepOnFailure(full, "flat");

    // The gradient from its first row to its last, black bars outside.
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(full.Mean(20, 31, 1, c), 255.0 * rs.background.topColour[c], 4.0) << "top, channel " << c;
        EXPECT_NEAR(full.Mean(20, 208, 1, c), 255.0 * rs.background.bottomColour[c], 4.0) << "bottom, channel " << c;
    }
    EXPECT_EQ(full.Mean(160, 10, 2), 0.0);
    EXPECT_EQ(full.Mean(160, 230, 2), 0.0);
    // The gradient's middle, under the discs' centres (row 120).
    const double middle[3] = {255.0 * 0.175, 255.0 * 0.125, 255.0 * 0.175};

    // The soft disc (centre 96, 120; radius 18) adds all of its grey at the
    // centre, half of it three quarters of the way out, none past its edge.
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(full.Mean(96, 120, 1, c), middle[c] + 0.4 * 255.0, 4.0) << "soft centre, channel " << c;
        EXPECT_NEAR(full.Mean(96 + 13, 120, 0, c), middle[c] + 0.5 * 0.4 * 255.0, 12.0) << "soft edge, channel " << c;
        EXPECT_NEAR(full.Mean(96 + 21, 120, 0, c), middle[c], 3.0) << "past the soft edge, channel " << c;
        EXPECT_NEAR(full.Mean(96, 120 - 21, 0, c), full.Mean(20, 120 - 21, 0, c), 2.0) << "above the soft disc, channel " << c;
    }
    // The glowing disc (centre 240, 120) is all green up to its edge, then
    // half as bright, fading over one more radius.
    const double green = full.Mean(240, 120, 1, 1);
    EXPECT_NEAR(green, middle[1] + 0.6 * 255.0, 4.0);
    EXPECT_NEAR(full.Mean(240 + 15, 120, 0, 1), green, 3.0) << "the sharp disc is not solid to its edge";
    const double halo = full.Mean(240 + 27, 120, 0, 1) - middle[1];  // 1.5 radii: a quarter of the half
    EXPECT_NEAR(halo, 0.125 * 0.6 * 255.0, 6.0);
    EXPECT_NEAR(full.Mean(240 + 38, 120, 0, 1), middle[1], 3.0) << "the halo reaches past twice the radius";
    EXPECT_NEAR(full.Mean(240, 120, 1, 0), middle[0], 3.0) << "green light in the red channel";

    // The fade takes everything down with it; the shapes are the frame's
    // only, so each is drawn once.
    const Picture half = frame(0.5f);
    EXPECT_NEAR(half.Mean(240, 120, 1, 1), green / 2.0, 2.0);
    EXPECT_NEAR(half.Mean(20, 31, 1, 2), full.Mean(20, 31, 1, 2) / 2.0, 2.0);
    const Picture black = frame(0.0f);
    ASSERT_FALSE(black.rgb.empty());
    EXPECT_EQ(*std::max_element(black.rgb.begin(), black.rgb.end()), 0) << "fade 0 leaves light in the picture";
}

// Without a background the float target shows the clear colour the demo
// chose; the shapes in the world stand behind the scene's surfaces.
TEST_F(RenderPictures, WorldShapesHideBehindTheSceneOverTheChosenClearColour) {
    PictureRig rig(320, 180);
    if (!rig.ok()) GTEST_SKIP() << rig.gl.error;
    rig.files.shapesEffect = kShapesEffectPath;
    jolp::SceneFileBuilder b;
    const int32_t surface = b.AddLeafMaterial("surface", kLambertBlinnShaderName, SurfaceParameters(testing::kBlackTex));
    b.AddObject("panel", AddPanelMesh(b, 1.0f, 1.0f), surface, AddPlacement(b, {0, 0, 0}));
    ASSERT_NO_FATAL_FAILURE(Start(rig, b));
    RenderSystem& rs = *rig.renderSystem;
    rs.camera = LookAt({0, 0, 10}, {0, 0, 0}, kFov, kAspect);
    rs.clearColour = 0xFF203040u;
    // Red behind the black panel, blue in front of it, both reaching past
    // its sides.
    const Shape2D behind{{-1.0f, 0.0f, -2.0f}, {1.5f, 0.4f}, {1.0f, 0.0f, 0.0f, 1.0f}, 0.0f, 0.0f,
                         ShapeKind::Quad, ShapeSpace::World};
    Shape2D before = behind;
    before.centre = {1.0f, 0.0f, 2.0f};
    before.colour[0] = 0.0f;
    before.colour[2] = 1.0f;
    ASSERT_TRUE(rs.SubmitShape(behind) && rs.SubmitShape(before));
    rig.Frame(0.0f, false);
    const Picture picture = rig.Read();
    ASSERT_FALSE(picture.rgb.empty());
    KeepOnFailure(picture, "world");

    const jolp::CameraView& camera = rs.camera;
    EXPECT_NEAR(picture.Mean(3, 3, 2, 0), 0x20, 2.0);
    EXPECT_NEAR(picture.Mean(3, 3, 2, 1), 0x30, 2.0);
    EXPECT_NEAR(picture.Mean(3, 3, 2, 2), 0x40, 2.0);
    // On the panel the red is hidden, the blue is not; beside it the red shows.
    EXPECT_LT(At(picture, camera, {-0.5f, 0, 0}, rig.picture, 0), 20.0) << "a shape behind the panel shows through";
    EXPECT_GT(At(picture, camera, {0.5f, 0, 0}, rig.picture, 2), 200.0) << "a shape before the panel is hidden";
    EXPECT_GT(At(picture, camera, {-1.6f, 0, -2.0f}, rig.picture, 0), 200.0) << "the red beside the panel is missing";
}

TEST_F(RenderPictures, ACubeLightIsTintedByTheLightCubeFaceItShinesThrough) {
    PictureRig rig(320, 180);
    if (!rig.ok()) GTEST_SKIP() << rig.gl.error;
    // +X red, -X green, +Y and -Y white, +Z blue, -Z yellow.
    std::string error;
    ASSERT_TRUE(testing::WriteSolidCube(rig.dir / kLightCubePath,
                                        {{{255, 0, 0}, {0, 255, 0}, {255, 255, 255}, {255, 255, 255}, {0, 0, 255},
                                          {255, 255, 0}}},
                                        error))
        << error;
    jolp::SceneFileBuilder b;
    const int32_t surface = b.AddLeafMaterial("surface", kLambertBlinnShaderName, SurfaceParameters());
    b.AddObject("floor", AddFloorMesh(b, 12.0f), surface, AddPlacement(b, {0, 0, 0}));
    AddStillLight(b, "Omni_cube01", {0, 2, 0}, {2, 2, 2}, 12.0f);
    ASSERT_NO_FATAL_FAILURE(Start(rig, b));
    ASSERT_NE(rig.renderSystem->lightCubeTexture, nullptr);
    rig.renderSystem->camera = LookAt({0, 12, 8}, {0, 0, 0}, kFov, kAspect);
    const jolp::CameraView& camera = rig.renderSystem->camera;

    rig.Frame();
    const Picture picture = rig.Read();
    ASSERT_FALSE(picture.rgb.empty());

    struct Spot {
        jolp::Vec3 point;
        bool red, green, blue;  // the face's colour
    } spots[] = {
        {{3, 0, 0}, true, false, false},
        {{-3, 0, 0}, false, true, false},
        {{0, 0, 3}, false, false, true},
        {{0, 0, -3}, true, true, false},
    };
    for (const Spot& s : spots) {
        const bool on[3] = {s.red, s.green, s.blue};
        double level[3];
        for (int c = 0; c < 3; ++c) level[c] = At(picture, camera, s.point, rig.picture, c);
        for (int c = 0; c < 3; ++c) {
            for (int d = 0; d < 3; ++d) {
                if (on[c] && !on[d]) {
                    EXPECT_GT(level[c], level[d] + 60.0)
                        << "at (" << s.point.x << ", " << s.point.z << ") channel " << c << " vs " << d;
                }
            }
        }
    }
    KeepOnFailure(picture, "frame");
}

TEST_F(RenderPictures, WaterReflectsTheSceneCubeAlongTheMirroredView) {
    PictureRig rig(320, 180);
    if (!rig.ok()) GTEST_SKIP() << rig.gl.error;
    // Looking at the water at a low angle: the view reflects off it towards
    // the far side, -Z (red); the face behind the camera, +Z, is green and
    // the sky, +Y, blue.
    std::string error;
    ASSERT_TRUE(testing::WriteSolidCube(
        rig.dir / "sceneCube.dds",
        {{{0, 0, 0}, {0, 0, 0}, {0, 0, 255}, {0, 0, 0}, {0, 255, 0}, {255, 0, 0}}}, error))
        << error;
    ASSERT_TRUE(rig.AddCubeTexture("sceneCube.dds", error)) << error;
    jolp::SceneFileBuilder b;
    const int32_t surface = b.AddLeafMaterial("surface", kLambertBlinnShaderName, SurfaceParameters());
    const int32_t water = b.AddLeafMaterial(
        "water", kCubicWaterShaderName, {{"normalTex", testing::kFlatNormalTex}, {"sceneCubeTex", "sceneCube.dds"}});
    b.AddObject("bed", AddFloorMesh(b, 12.0f), surface, AddPlacement(b, {0, -0.5f, 0}));
    b.AddObject("water", AddFloorMesh(b, 8.0f), water, AddPlacement(b, {0, 0, 0}));
    ASSERT_NO_FATAL_FAILURE(Start(rig, b));
    rig.renderSystem->camera = LookAt({0, 1, 10}, {0, 0, 4}, kFov, kAspect);
    const jolp::CameraView& camera = rig.renderSystem->camera;

    rig.Frame();
    const Picture picture = rig.Read();
    ASSERT_FALSE(picture.rgb.empty());

    const jolp::Vec3 spot{0, 0, 4};
    const double red = At(picture, camera, spot, rig.picture, 0);
    const double green = At(picture, camera, spot, rig.picture, 1);
    const double blue = At(picture, camera, spot, rig.picture, 2);
    EXPECT_GT(red, green + 40.0);
    EXPECT_GT(red, blue + 40.0);
    KeepOnFailure(picture, "frame");
}

}  // namespace
}  // namespace jolp
