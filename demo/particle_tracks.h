// particle_tracks.h - the tracks that put particle systems on the timeline.
//
// A ParticlesTrack moves one Sparkls emitter onto a scene dummy every frame
// it runs. A ParticleControler is the span in which particle systems live:
// after its emitter tracks (its children, or tracks that come before it in
// its parent) have moved their emitters, it advances every enabled system of
// its ParticleSystemSet by the frame's duration, rebuilds its quads and
// hands it to the render system. Outside a controller's span its systems
// neither age, nor move, nor draw.
//
// Both read the scene as the previous frame left it: the camera track that
// animates the scene and sets the camera runs after them in the same frame,
// so emitters follow their dummies and quads face the camera one frame late.
//
// Ownership: tracks refer to the demo, the systems and the set; none of them
// owns another. The program keeps every track but the swarm's four
// emitters, which their controller keeps.
#pragma once

#include "framework/demo_track.h"

#include <cstdint>
#include <set>
#include <string>

namespace jolp {
class ParticleSystem;
class RenderSystem;
class Sparkls;
}  // namespace jolp

namespace tarvel {

class MyDemo;

// Orders systems by when they were made. The systems share one random
// sequence, so the order in which they are updated decides which particles
// each one gets; ordering by address would change it from run to run.
struct ByCreation {
    bool operator()(const jolp::ParticleSystem* a, const jolp::ParticleSystem* b) const;
};

// The systems one controller runs: each at most once, in the order they
// were made.
struct ParticleSystemSet {
    jolp::RenderSystem* renderSystem = nullptr;
    std::set<jolp::ParticleSystem*, ByCreation> systems;
};

class ParticlesTrack final : public jolp::DemoTrack {
public:
    ParticlesTrack(uint32_t startMs, uint32_t endMs, const std::string& dummyName, MyDemo* demo, jolp::Sparkls* system);

    // The system's emitter goes to the dummy's evaluated position; a dummy
    // the scene does not hold leaves the emitter where it is.
    void Update(jolp::DemoProgram& program) override;

    MyDemo* demo;
    std::string dummyName;
    jolp::Sparkls* system;
};

class ParticleControler final : public jolp::DemoTrack {
public:
    // The swarm: 85 to 120 s over the demo's particleSystems, with the four
    // emitter tracks Dummy01 to Dummy04 (red, yellow, green, blue) as its
    // children. Build it after the demo has found its particle systems.
    explicit ParticleControler(MyDemo* demo);
    // A controller from start to end over the systems of set, without
    // children: its emitter tracks are its earlier siblings.
    ParticleControler(uint32_t startMs, uint32_t endMs, MyDemo* demo, const ParticleSystemSet* set);

    void Update(jolp::DemoProgram&) override {}
    // Update (the frame's duration) and BuildVertices of every enabled
    // system, then Submit of every enabled system, in set order.
    void PostUpdate() override;
    // Its systems back as before their first frame, then the tracks.
    void Rewind() override;

    MyDemo* demo;
    const ParticleSystemSet* set;
};

}  // namespace tarvel
