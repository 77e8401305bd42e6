#include "demo/particle_tracks.h"

#include "demo/my_demo.h"
#include "demo/timeline.h"
#include "particles/sparkls.h"

namespace tarvel {

bool ByCreation::operator()(const jolp::ParticleSystem* a, const jolp::ParticleSystem* b) const {
    return a->Serial() < b->Serial();
}

ParticlesTrack::ParticlesTrack(uint32_t startMs, uint32_t endMs, const std::string& name, MyDemo* owner,
                               jolp::Sparkls* target)
    : jolp::DemoTrack(startMs, endMs), demo(owner), dummyName(name), system(target) {}

void ParticlesTrack::Update(jolp::DemoProgram&) {
    const jolp::SceneDummy* dummy = demo->scene->FindDummy(dummyName);
    if (dummy == nullptr || system == nullptr) return;
    system->emitterPosition = dummy->transform.position;
}

ParticleControler::ParticleControler(MyDemo* owner)
    : jolp::DemoTrack(kSwarmStartMs, kSwarmEndMs), demo(owner), set(owner->particleSystems.get()) {
    struct Emitter {
        const char* dummy;
        jolp::Sparkls* system;
    };
    const Emitter emitters[] = {
        {"Dummy01", owner->redParticles},
        {"Dummy02", owner->yellowParticles},
        {"Dummy03", owner->greenParticles},
        {"Dummy04", owner->blueParticles},
    };
    for (const Emitter& e : emitters) {
        AddChild(std::make_unique<ParticlesTrack>(0, kSwarmEmitterEndMs, e.dummy, owner, e.system));
    }
}

ParticleControler::ParticleControler(uint32_t startMs, uint32_t endMs, MyDemo* owner, const ParticleSystemSet* systems)
    : jolp::DemoTrack(startMs, endMs), demo(owner), set(systems) {}

void ParticleControler::Rewind() {
    if (set != nullptr) {
        for (jolp::ParticleSystem* system : set->systems) system->Rewind();
    }
    jolp::DemoTrack::Rewind();
}

void ParticleControler::PostUpdate() {
    if (set == nullptr) return;
    const float dt = demo->clock.deltaSeconds;
    for (jolp::ParticleSystem* system : set->systems) {
        if (!system->enabled) continue;
        system->Update(dt);
        system->BuildVertices();
    }
    for (jolp::ParticleSystem* system : set->systems) {
        if (system->enabled) system->Submit();
    }
}

}  // namespace tarvel
