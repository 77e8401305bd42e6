// my_demo.h - MyDemo, Tarvel itself: the demo program over the framework.
//
// QueueWorkers queues the scene worker, which loads all of the demo's
// content into the registry (worker_scene.h); BuildTimeline finds that
// content, gives the particle systems their device objects and attaches the
// track tree under the program, in this order, so that in every frame the
// particle tracks run before the camera shot (they see the previous frame's
// camera and dummies):
//   1  the swarm controller, 85 to 120 s, with Dummy01 to Dummy04 under it
//   2  wind_dummy and fire_dummy emitter tracks, 145 to 176.2 s
//   3  the wind and fire controller, 145 to 176.2 s
//   4  the twenty camera shots of timeline.h
// The music's length, not the tree, decides when the demo ends.
//
// Ownership: the demo owns the scene (taken from its worker) and the two
// particle system sets; the program keeps every track it attaches (the
// controller those under it). The particle systems, their materials and
// the textures are kept by the registry and the render system, which live
// until the program ends. Destruction: the scene, then the sets, then the
// tracks, then the rest of the program.
#pragma once

#include "demo/particle_tracks.h"
#include "particles/particle_random.h"
#include "framework/demo_program.h"
#include "render/render_system.h"
#include "scene/jolp3d.h"

#include <memory>
#include <utility>
#include <vector>

namespace jolp {
class Sparkls;
}  // namespace jolp

namespace tarvel {

class MyDemo final : public jolp::DemoProgram {
public:
    class WorkerScene;

    explicit MyDemo(const jolp::RunConfig& config = jolp::RunConfig{});
    ~MyDemo() override;

    // The particle system set and the scene worker, appended to queue.
    void QueueWorkers(jolp::WorkerQueue& queue) override;
    // False, with the name on stderr, when the scene or any of the six
    // particle systems is missing; nothing is attached then.
    bool BuildTimeline() override;

    // The authoring mode's view: the shot of timeline.h at ms, the live
    // particles of the frame, and the particles' random numbers put back
    // to where they stood when the timeline was built.
    bool DescribePart(uint32_t ms, PartInfo& shot) const override;
    void DescribeFrame(char* out, size_t size) const override;
    void RewindDemo() override;

    // The render system, once Prepare has taken it from its worker; null
    // before.
    jolp::RenderSystem* Renderer() const {
        return renderSystem ? &RendererAs<jolp::RenderSystem>() : nullptr;
    }

    std::unique_ptr<WorkerScene> sceneWorker;
    jolp::JOLP3D* scene = nullptr;
    jolp::Sparkls* redParticles = nullptr;
    jolp::Sparkls* yellowParticles = nullptr;
    jolp::Sparkls* greenParticles = nullptr;
    jolp::Sparkls* blueParticles = nullptr;
    jolp::Sparkls* windParticles = nullptr;
    jolp::Sparkls* fireParticles = nullptr;
    // The swarm's systems (red, yellow, green, blue).
    std::unique_ptr<ParticleSystemSet> particleSystems;
    // The systems of the wind and fire controller.
    std::unique_ptr<ParticleSystemSet> windFireSystems;
    jolp::CameraView camera;

private:
    jolp::ParticleRandomState startRandom_{};
    std::unique_ptr<jolp::JOLP3D> ownedScene_;
};

inline constexpr const char* kTitle = "Tarvel";
inline constexpr const char* kMusicPath = "media/music.ogg";

}  // namespace tarvel
