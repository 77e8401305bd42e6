// Once its pool has grown, a running particle system allocates nothing:
// six Sparkls on the real GL device, updated, built, submitted and drawn
// frame after frame (emission, deaths, rebirths in place, the discard
// upload) while every operator new of the process is counted.
#include "particles/sparkls.h"
#include "render/material.h"
#include "render/render_system.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/headless_gl.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

namespace jolp {
namespace {

TEST(ParticleAllocations, ASteadyRunAllocatesNothingOnceThePoolHasGrown) {
    std::filesystem::current_path(TARVEL_SOURCE_DIR);
    jolp::testing::HeadlessGl gl(320, 240);
    ASSERT_TRUE(gl.ok()) << gl.error;
    jolp::GfxDevice& device = *gl.device;
    RenderSystem rs(device, jolp::Rect{0, 0, 320, 240}, jolp::Rect{0, 30, 320, 210});
    ASSERT_TRUE(rs.LoadEffects()) << rs.StartupError();
    ASSERT_TRUE(rs.CreateTargets()) << rs.StartupError();
    rs.camera.right = {1.0f, 0.0f, 0.0f};
    rs.camera.up = {0.0f, 1.0f, 0.0f};
    rs.camera.forward = {0.0f, 0.0f, -1.0f};
    rs.camera.position = {0.0f, 0.0f, 30.0f};

    AdditiveMaterial material(rs, *rs.additiveShader);
    std::vector<std::unique_ptr<Sparkls>> systems;
    for (int i = 0; i < 6; ++i) {
        systems.push_back(std::make_unique<Sparkls>(&material));
        systems.back()->CreatePool();
        systems.back()->renderSystem = &rs;
        ASSERT_TRUE(systems.back()->CreateDeviceObjects());
    }

    auto frame = [&](int n) {
        device.BeginScene();
        device.SetViewport(jolp::Viewport{0, 0, 320, 240, 0.0f, 1.0f});
        device.Clear(jolp::kClearTarget, 0xFF000000u, 1.0f, 0);
        for (size_t i = 0; i < systems.size(); ++i) {
            systems[i]->emitterPosition = {static_cast<float>(i) * 3.0f - 8.0f, static_cast<float>(n % 50) * 0.1f, 0.0f};
            systems[i]->Update(1.0f / 60.0f);
            systems[i]->BuildVertices();
        }
        for (auto& system : systems) system->Submit();
        rs.RenderFrame();
        device.EndScene();
    };
    // Ten seconds at 60 frames a second: every pool grows to its steady
    // size (the growth happens past 100 live, in the fourth second).
    for (int n = 0; n < 600; ++n) frame(n);
    for (const auto& system : systems) ASSERT_EQ(system->capacity, 301);

    // The counter sees allocations at all.
    const uint64_t probe = jolp::testing::AllocationCount();
    int* volatile kept = new int(7);  // volatile: the pair may not be elided
    delete kept;
    ASSERT_EQ(jolp::testing::AllocationCount(), probe + 1);

    const uint64_t before = jolp::testing::AllocationCount();
    for (int n = 600; n < 900; ++n) frame(n);
    EXPECT_EQ(jolp::testing::AllocationCount(), before) << "operator new calls in 300 steady frames";
    for (const auto& system : systems) {
        EXPECT_EQ(system->capacity, 301);
        EXPECT_GT(system->liveCount, 110);
    }
}

}  // namespace
}  // namespace jolp
