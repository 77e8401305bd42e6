// Particles drawn by the real renderer through the headless GL device: a
// burst of Sparkls in front of a black panel shows as light-coloured
// squares, added onto one another, where the emitter projects, facing the
// camera whichever way it looks.
#include "particles/sparkls.h"
#include "render/material.h"
#include "tests/render/picture_scene.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace jolp {
namespace {

using testing::AddPanelMesh;
using testing::AddPlacement;
using testing::LookAt;
using testing::Picture;
using testing::PictureRig;
using testing::Pixel;
using testing::Project;
using testing::SurfaceParameters;

constexpr float kAspect = 16.0f / 9.0f;
constexpr float kFov = 0.9f;
constexpr const char* kSparkTex = "spark.png";

class ParticlePictures : public ::testing::Test {
protected:
    // A black panel filling the view behind the emitter, the particle
    // texture (30, 20, 10) and one Sparkls on an additive material.
    void SetUp() override {
        if (!rig_.ok()) GTEST_SKIP() << rig_.gl.error;
        jolp::SceneFileBuilder b;
        const int32_t black =
            b.AddLeafMaterial("black", kLambertBlinnShaderName, SurfaceParameters(testing::kBlackTex));
        b.AddObject("backdrop", AddPanelMesh(b, 40.0f, 40.0f), black, AddPlacement(b, {0, 0, -5}));
        std::string error;
        ASSERT_TRUE(rig_.Start(TARVEL_SOURCE_DIR, error)) << error;
        ASSERT_TRUE(rig_.Load(b, error)) << error;
        ASSERT_TRUE(testing::WriteSolidPng(rig_.dir / kSparkTex, {30, 20, 10, 255}));
        ASSERT_TRUE(rig_.AddTexture(kSparkTex, error)) << error;

        material_ = std::make_unique<AdditiveMaterial>(*rig_.renderSystem, *rig_.renderSystem->additiveShader);
        material_->diffuseMap = rig_.registry.FindAs<jolp::Texture2D>(kSparkTex);
        ASSERT_NE(material_->diffuseMap, nullptr);
        system_ = std::make_unique<Sparkls>(material_.get());
        system_->CreatePool();
        system_->renderSystem = rig_.renderSystem.get();
        ASSERT_TRUE(system_->CreateDeviceObjects());
        system_->emitterPosition = kEmitter;
        system_->velocityRange = 0;  // they stay on the emitter
    }

    // The first update's burst of six, then no more births while they age
    // past their fade-in to full brightness.
    void Burst() {
        system_->Update(0.016f);
        ASSERT_EQ(system_->liveCount, 6);
        system_->emitInterval = 1e9f;
        for (int i = 0; i < 10; ++i) system_->Update(0.1f);
        ASSERT_EQ(system_->liveCount, 6);
    }

    Picture Draw() {
        system_->BuildVertices();
        system_->Submit();
        rig_.Frame(0.0f, false);
        return rig_.Read();
    }

    void KeepOnFailure(const Picture& picture, const std::string& what) {
        testing::KeepPictureOnFailure(picture, "particle_pictures", what);
    }

    // One channel around where a world point lands.
    double At(const Picture& picture, const jolp::Vec3& point, int channel) {
        const Pixel p = Project(rig_.renderSystem->camera, point, rig_.picture);
        EXPECT_TRUE(p.inFront && p.x >= 0 && p.x < picture.width && p.y >= 0 && p.y < picture.height);
        return picture.Mean(p.x, p.y, 1, channel);
    }

    static constexpr jolp::Vec3 kEmitter{1.0f, 0.5f, 0.0f};
    PictureRig rig_{320, 180};
    std::unique_ptr<AdditiveMaterial> material_;
    std::unique_ptr<Sparkls> system_;
};

TEST_F(ParticlePictures, ABurstShowsAsAddedSquaresAtTheEmitter) {
    rig_.renderSystem->camera = LookAt({0, 0, 10}, {0, 0, 0}, kFov, kAspect);
    // A frame before any emission shows only the black backdrop.
    const Picture empty = Draw();
    ASSERT_FALSE(empty.rgb.empty());
    EXPECT_LT(At(empty, kEmitter, -1), 3.0);

    Burst();
    const Picture picture = Draw();
    ASSERT_FALSE(picture.rgb.empty());
    // Six white particles of the texture's colour, added: 6 x (30, 20, 10),
    // below the level where the composite starts to roll light off.
    EXPECT_NEAR(At(picture, kEmitter, 0), 180.0, 5.0);
    EXPECT_NEAR(At(picture, kEmitter, 1), 120.0, 5.0);
    EXPECT_NEAR(At(picture, kEmitter, 2), 60.0, 5.0);
    // The square is 2 units on a side: inside near its corners, dark
    // beyond its edges.
    const jolp::Vec3 corner{kEmitter.x + 0.85f, kEmitter.y - 0.85f, 0.0f};
    EXPECT_GT(At(picture, corner, 0), 150.0);
    for (jolp::Vec3 outside : {jolp::Vec3{kEmitter.x + 1.3f, kEmitter.y, 0}, jolp::Vec3{kEmitter.x, kEmitter.y + 1.3f, 0},
                               jolp::Vec3{kEmitter.x - 1.3f, kEmitter.y - 1.3f, 0}}) {
        EXPECT_LT(At(picture, outside, -1), 3.0);
    }
    KeepOnFailure(picture, "burst");

    // As they age past 2.2 s they grow and dim; at 4 s they are gone.
    for (int i = 0; i < 12; ++i) system_->Update(0.1f);
    const Picture fading = Draw();
    EXPECT_LT(At(fading, kEmitter, 0), 180.0 - 20.0);
    EXPECT_GT(At(fading, {kEmitter.x + 1.3f, kEmitter.y, 0}, 0), 50.0) << "the dying squares grow";
    KeepOnFailure(fading, "fading");
    // Reaching their lifetime together, they do not all die in one step:
    // each one that dies trades places with the last live one, which waits
    // for the next step. Six go as 3, then 1, then none.
    for (int i = 0; i < 18; ++i) system_->Update(0.1f);
    EXPECT_EQ(system_->liveCount, 3);
    system_->Update(0.1f);
    EXPECT_EQ(system_->liveCount, 1);
    system_->Update(0.1f);
    EXPECT_EQ(system_->liveCount, 0);
}

TEST_F(ParticlePictures, SquaresFaceACameraLookingFromTheSide) {
    // Seen from up and to the right, the square still lies across the
    // screen: the points half a unit along the camera's right and up axes
    // from the emitter are inside it.
    rig_.renderSystem->camera = LookAt({6, 4, 8}, kEmitter, kFov, kAspect);
    Burst();
    const Picture picture = Draw();
    ASSERT_FALSE(picture.rgb.empty());
    const jolp::CameraView& camera = rig_.renderSystem->camera;
    auto along = [&](float r, float u) {
        return jolp::Vec3{kEmitter.x + r * camera.right.x + u * camera.up.x,
                          kEmitter.y + r * camera.right.y + u * camera.up.y,
                          kEmitter.z + r * camera.right.z + u * camera.up.z};
    };
    EXPECT_NEAR(At(picture, kEmitter, 0), 180.0, 5.0);
    for (auto [r, u] : {std::pair{0.8f, 0.8f}, std::pair{-0.8f, 0.8f}, std::pair{0.8f, -0.8f}, std::pair{-0.8f, -0.8f}}) {
        EXPECT_GT(At(picture, along(r, u), 0), 150.0) << r << " " << u;
    }
    for (auto [r, u] : {std::pair{1.3f, 0.0f}, std::pair{0.0f, 1.3f}, std::pair{-1.3f, 0.0f}, std::pair{0.0f, -1.3f}}) {
        EXPECT_LT(At(picture, along(r, u), -1), 3.0) << r << " " << u;
    }
    KeepOnFailure(picture, "side");
}

}  // namespace
}  // namespace jolp
