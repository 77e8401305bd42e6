#include "demo/my_demo.h"

#include "demo/cameras.h"
#include "demo/particle_tracks.h"
#include "demo/timeline.h"
#include "demo/worker_scene.h"
#include "particles/sparkls.h"
#include "platform/log.h"

#include <cstdio>

namespace tarvel {
namespace {

// The size the pools reach at their first growth; taking it up front keeps
// allocation out of the show (a swarm holds about 130 particles at most).
constexpr int32_t kParticlePoolSize = 3 * jolp::kInitialParticleCapacity + 1;

}  // namespace

MyDemo::MyDemo(const jolp::RunConfig& config) : jolp::DemoProgram(&jolp::RenderSystem::Create, config) {}

MyDemo::~MyDemo() {
    ownedScene_.reset();
    scene = nullptr;
    particleSystems.reset();
    windFireSystems.reset();
    ReleaseKeptChildren();
    sceneWorker.reset();
}

void MyDemo::QueueWorkers(jolp::WorkerQueue& queue) {
    particleSystems = std::make_unique<ParticleSystemSet>();
    particleSystems->renderSystem = Renderer();
    windFireSystems = std::make_unique<ParticleSystemSet>();
    windFireSystems->renderSystem = Renderer();
    sceneWorker = std::make_unique<WorkerScene>(Renderer(), &display, Config().dataFolder);
    queue.Append(sceneWorker.get());
}

bool MyDemo::BuildTimeline() {
    scene = resources.FindAs<jolp::JOLP3D>("scene");
    jolp::Sparkls** systems[] = {&redParticles, &yellowParticles, &greenParticles,
                           &blueParticles, &windParticles,  &fireParticles};
    for (size_t i = 0; i < std::size(systems); ++i) {
        *systems[i] = resources.FindAs<jolp::Sparkls>(kParticleContent[i].name);
    }
    // The scene is ours from now on when our worker made it.
    if (sceneWorker && scene != nullptr && scene == sceneWorker->Scene()) ownedScene_ = sceneWorker->TakeScene();
    sceneWorker.reset();

    if (scene == nullptr) {
        jolp::Log(jolp::LogLevel::Error, "the content has no \"scene\"; the demo cannot be built");
        return false;
    }
    for (size_t i = 0; i < std::size(systems); ++i) {
        if (*systems[i] == nullptr) {
            jolp::Log(jolp::LogLevel::Error, "the content has no particle system \"%s\"; the demo cannot be built",
                      kParticleContent[i].name);
            return false;
        }
    }
    if (!particleSystems || !windFireSystems) return false;

    for (size_t i = 0; i < std::size(systems); ++i) {
        jolp::Sparkls* system = *systems[i];
        ParticleSystemSet& set = (system == windParticles || system == fireParticles) ? *windFireSystems
                                                                                     : *particleSystems;
        set.systems.insert(system);
        system->renderSystem = set.renderSystem;
        if (system->CreateDeviceObjects() && system->capacity < kParticlePoolSize) system->Grow(kParticlePoolSize);
    }

    AddChild(std::make_unique<ParticleControler>(this));
    AddChild(std::make_unique<ParticlesTrack>(kWindFireStartMs, kWindFireEndMs, "wind_dummy", this, windParticles));
    AddChild(std::make_unique<ParticlesTrack>(kWindFireStartMs, kWindFireEndMs, "fire_dummy", this, fireParticles));
    AddChild(std::make_unique<ParticleControler>(kWindFireStartMs, kWindFireEndMs, this, windFireSystems.get()));
    for (const Shot& shot : kShots) AddChild(std::make_unique<Cameras>(shot.startMs, shot.endMs, shot.camera, this));
    // Nothing draws a particle's number between here and the first frame.
    startRandom_ = jolp::SaveParticleRandom();
    return true;
}

bool MyDemo::DescribePart(uint32_t ms, PartInfo& shot) const {
    for (size_t i = 0; i < kShots.size(); ++i) {
        if (ms >= kShots[i].startMs && ms < kShots[i].endMs) {
            shot.index = static_cast<uint32_t>(i);
            shot.count = static_cast<uint32_t>(kShots.size());
            shot.startMs = kShots[i].startMs;
            shot.endMs = kShots[i].endMs;
            shot.name = kShots[i].camera;
            shot.kind = "shot";
            return true;
        }
    }
    return false;
}

void MyDemo::DescribeFrame(char* out, size_t size) const {
    int32_t live = 0;
    for (const jolp::Sparkls* system :
         {redParticles, yellowParticles, greenParticles, blueParticles, windParticles, fireParticles}) {
        if (system) live += system->liveCount;
    }
    const jolp::RenderSystem* renderer = Renderer();
    std::snprintf(out, size, "lights %u  particles %d", renderer ? renderer->LastFrameLights() : 0u, live);
}

void MyDemo::RewindDemo() { jolp::RestoreParticleRandom(startRandom_); }

}  // namespace tarvel
