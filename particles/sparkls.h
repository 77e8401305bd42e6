// sparkls.h - Sparkls, the demo's particle system: a point emitter that
// releases 30 particles a second, each drifting slowly towards +x, +y and
// +z, fading in from black over 0.8 s, holding at full brightness, then
// fading and shrinking away until it dies at 4 s.
//
// The emitter position is set each frame by the particle track that moves
// the system (demo/). Velocities come from ParticleRand (particle_random.h),
// the C library's rand() with a state of its own, never seeded by the
// program, so every run draws the same particles.
#pragma once

#include "particles/particle_system.h"

namespace jolp {

// 1/30 s, as the single-precision number with bits 0x3D088889.
inline constexpr float kSparklsEmitInterval = 0.033333335f;
inline constexpr float kSparklsInitialAccumulator = 0.2f;
inline constexpr int32_t kSparklsVelocityRange = 3;
inline constexpr float kSparklsLifetime = 4.0f;
inline constexpr float kSparklsSize = 2.0f;
inline constexpr float kSparklsFadeIn = 0.8f;
inline constexpr float kSparklsFadeOut = 2.2f;
inline constexpr float kSparklsDamping = 0.995f;
// The most particles one update releases: half an hour of emission, far
// beyond anything a frame asks for. It keeps an absurd step from asking
// for billions of records.
inline constexpr int32_t kSparklsMaxEmitPerUpdate = 1 << 16;

class Sparkls final : public ParticleSystem {
public:
    explicit Sparkls(Material* material);

    // Emission for dt seconds, then Simulate(dt); always true. A step that
    // is not a finite, non-negative number of seconds counts as 0.
    bool Update(float dt) override;
    void InitParticle(Particle& particle) override;
    // The emitter back at the origin and the emission clock at its start.
    void Rewind() override;

    // Ages, fades, shrinks and moves the live particles; those reaching
    // their lifetime die and trade places with the last live one.
    void Simulate(float dt);

    jolp::Vec3 emitterPosition{0.0f, 0.0f, 0.0f};
    float emitInterval = kSparklsEmitInterval;
    float emitAccumulator = kSparklsInitialAccumulator;
    int32_t velocityRange = kSparklsVelocityRange;
};

}  // namespace jolp
