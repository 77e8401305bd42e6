// particle_fixture.h - what the particle tests share: a render system on the
// recording device with the demo's own effect files, an additive material
// on it, and a probe system whose births the tests can watch.
#pragma once

#include "particles/particle_system.h"
#include "render/material.h"
#include "render/render_system.h"
#include "tests/support/recording_device.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

namespace jolp::testing {

// A particle system that records each birth: which record, and the pool's
// capacity and length at the time. Update does nothing.
class ProbeSystem final : public ParticleSystem {
public:
    using ParticleSystem::ParticleSystem;
    bool Update(float) override { return true; }
    void InitParticle(Particle& particle) override {
        births.push_back({&particle, capacity, pool.size()});
        particle.alive = false;
        particle.size = 2.0f;
        particle.colour = {1.0f, 1.0f, 1.0f};
    }
    struct Birth {
        Particle* particle;
        int32_t capacity;
        size_t poolSize;
    };
    std::vector<Birth> births;
};

class ParticleTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::current_path(TARVEL_SOURCE_DIR);
        rs = std::make_unique<RenderSystem>(device, jolp::Rect{0, 0, 640, 480}, jolp::Rect{0, 60, 640, 420});
        ASSERT_TRUE(rs->LoadEffects()) << rs->StartupError();
        material = std::make_unique<AdditiveMaterial>(*rs, *rs->additiveShader);
        device.recordParameters = false;
    }

    // Pool created, render system set, device objects made.
    template <typename System>
    std::unique_ptr<System> Ready() {
        auto system = std::make_unique<System>(material.get());
        system->CreatePool();
        system->renderSystem = rs.get();
        EXPECT_TRUE(system->CreateDeviceObjects());
        return system;
    }

    jolp::testing::RecordingBuffer& BufferOf(const ParticleSystem& system) {
        return *static_cast<jolp::testing::RecordingBuffer*>(system.drawItem.vertexBuffer);
    }

    jolp::testing::RecordingDevice device;
    std::unique_ptr<RenderSystem> rs;
    std::unique_ptr<AdditiveMaterial> material;
};

}  // namespace jolp::testing
