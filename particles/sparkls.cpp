#include "particles/sparkls.h"

#include "particles/particle_random.h"

#include <cmath>
#include <utility>

namespace jolp {

Sparkls::Sparkls(Material* material) : ParticleSystem(material) { enabled = true; }

bool Sparkls::Update(float dt) {
    if (!std::isfinite(dt) || dt < 0.0f) dt = 0.0f;
    emitAccumulator += dt;
    if (emitInterval <= emitAccumulator) {
        const float k = emitAccumulator / emitInterval;
        const float whole = std::floor(k);
        const int32_t n = whole < static_cast<float>(kSparklsMaxEmitPerUpdate) ? static_cast<int32_t>(whole)
                                                                                : kSparklsMaxEmitPerUpdate;
        Emit(n);
        // Whatever lies beyond the cap is dropped, not carried forever.
        emitAccumulator = n == kSparklsMaxEmitPerUpdate ? 0.0f : (k - static_cast<float>(n)) * emitInterval;
    }
    Simulate(dt);
    return true;
}

void Sparkls::Rewind() {
    ParticleSystem::Rewind();
    emitterPosition = {0.0f, 0.0f, 0.0f};
    emitAccumulator = kSparklsInitialAccumulator;
}

void Sparkls::InitParticle(Particle& particle) {
    particle.alive = false;
    particle.colour = {0.0f, 0.0f, 0.0f};
    particle.age = 0.0f;
    particle.previousPosition = {0.0f, 0.0f, 0.0f};
    particle.lifetime = kSparklsLifetime;
    particle.size = kSparklsSize;
    particle.position = emitterPosition;
    // Three draws, each R / (rand() mod (R + 1) + 1) in integers; the first
    // is z, then y, then x.
    const int32_t range = velocityRange < 0 ? 0 : velocityRange;
    const auto draw = [range] { return static_cast<float>(range / (ParticleRand() % (range + 1) + 1)); };
    particle.velocity.z = draw();
    particle.velocity.y = draw();
    particle.velocity.x = draw();
}

void Sparkls::Simulate(float dt) {
    for (int32_t i = 0; i < liveCount; ++i) {
        Particle& p = *pool[i];
        p.age += dt;
        if (p.lifetime <= p.age) {
            p.alive = false;
            --liveCount;
            std::swap(pool[i], pool[liveCount]);
        }
        const float a = p.age;
        if (a <= kSparklsFadeIn) {
            const float c = a / kSparklsFadeIn;
            p.colour = {c, c, c};
        } else if (a >= kSparklsFadeOut) {
            const float rest = p.lifetime - a;
            const float c = rest / kSparklsFadeOut;
            p.colour = {c, c, c};
            const float size = rest * 4.0f / kSparklsFadeOut;
            p.size = size < 0.0f ? 0.0f : size;
        } else {
            p.colour = {1.0f, 1.0f, 1.0f};
        }
        p.previousPosition = p.position;
        p.position.x += p.velocity.x * dt;
        p.position.y += p.velocity.y * dt;
        p.position.z += p.velocity.z * dt;
        p.velocity.x *= kSparklsDamping;
        p.velocity.y *= kSparklsDamping;
        p.velocity.z *= kSparklsDamping;
    }
}

}  // namespace jolp
