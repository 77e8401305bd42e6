// A steady frame of the renderer allocates nothing: the sample scene,
// bound to a render system on the real GL device, is animated, submitted
// and drawn (background, shadow cube faces, light passes, shapes in the
// world and in the picture, composite) for many frames while every
// operator new of the process is counted.
#include "render/bind_scene.h"
#include "render/render_system.h"
#include "scene/jolp3d.h"
#include "scene/scene_file.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/headless_gl.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace jolp {
namespace {

TEST(RenderFrameAllocations, SteadyFramesAllocateNothing) {
    std::filesystem::current_path(TARVEL_SOURCE_DIR);
    jolp::testing::HeadlessGl gl(320, 240);
    ASSERT_TRUE(gl.ok()) << gl.error;
    jolp::GfxDevice& device = *gl.device;
    RenderFiles files;
    files.backgroundEffect = kBackgroundEffectPath;
    files.shapesEffect = kShapesEffectPath;
    RenderSystem rs(device, jolp::Rect{0, 0, 320, 240}, jolp::Rect{0, 30, 320, 210}, files);
    ASSERT_TRUE(rs.LoadEffects()) << rs.StartupError();
    ASSERT_TRUE(rs.CreateTargets()) << rs.StartupError();

    jolp::SceneFileBuilder builder;
    jolp::BuildSampleScene(builder);
    const std::vector<uint8_t> bytes = builder.Write();
    jolp::JOLP3D scene;
    ASSERT_TRUE(scene.LoadBytes(bytes, "sample", &device));
    jolp::ResourceRegistry registry;
    BindScene(rs, scene, registry);
    const jolp::Matrix root;

    auto frame = [&](int n) {
        const float t = static_cast<float>(n % 200) * 0.01f;
        jolp::Viewport whole{0, 0, 320, 240, 0.0f, 1.0f};
        device.BeginScene();
        device.SetViewport(whole);
        device.Clear(jolp::kClearTarget, 0xFF000000u, 1.0f, 0);
        rs.camera = scene.EvaluateCamera("Camera01", t, 16.0f / 9.0f, 1.0f, 5000.0f);
        scene.Animate(root, t);
        scene.SubmitDrawItems(rs);
        scene.SubmitLights(rs);
        rs.background.time = t;
        // More shapes than a frame holds: the rest are turned away.
        for (int i = 0; i < 1100; ++i) {
            Shape2D shape;
            shape.centre = {static_cast<float>(i % 40) / 40.0f, t, 0.0f};
            shape.glow = 0.5f;
            if (i % 2) shape.space = ShapeSpace::World;
            rs.SubmitShape(shape);
        }
        rs.RenderFrame();
        device.EndScene();
    };
    // Warm-up: programs, samplers, framebuffers and the quad are made on
    // first use.
    for (int n = 0; n < 10; ++n) frame(n);
    // The counter sees allocations at all.
    const uint64_t probe = jolp::testing::AllocationCount();
    int* volatile kept = new int(7);  // volatile: the pair may not be elided
    delete kept;
    ASSERT_EQ(jolp::testing::AllocationCount(), probe + 1);
    ASSERT_GT(rs.Time(), 0.0f);
    const uint64_t before = jolp::testing::AllocationCount();
    for (int n = 10; n < 110; ++n) frame(n);
    EXPECT_EQ(jolp::testing::AllocationCount() - before, 0u);
}

}  // namespace
}  // namespace jolp
