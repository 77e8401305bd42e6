// worker_scene.h - MyDemo::WorkerScene, the start-up worker that loads all
// of Tarvel's own content before the music starts, in one step:
//   1. six textures by bare file name from the working directory (the data
//      folder): LightCube.dds and sunol_cubemap.dds as cube textures,
//      powerBall.jpg, texture1_d.tga, four_NM_height.dds and texture1_s.tga
//      as 2D textures, each registered under its name, null when it failed;
//   2. every file of media/texs as a 2D texture, of media/cubes as a cube
//      texture, under its file name;
//   3. the scene file, registered as "scene", and bound to the renderer
//      (materials find their textures by name now that all are registered);
//   4. six Sparkls, each with its own additive material and texture from
//      media/particles: "redParticles", "yellowParticles",
//      "greenParticles", "blueParticles", "wind" and "fire".
// Nothing stops the start-up here: a missing file leaves a null entry, an
// empty scene or a particle system without texture. The particles' device
// objects are made later by BuildTimeline.
//
// Ownership: the worker owns the scene until the demo takes it. Textures
// and particle systems go to the registry's keeping, particle materials to
// the render system's; they live until the program ends.
#pragma once

#include "demo/my_demo.h"
#include "framework/worker.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tarvel {

class MyDemo::WorkerScene final : public jolp::Worker {
public:
    // Files are read from dataFolder (data_path.h; empty: the working folder).
    WorkerScene(jolp::RenderSystem* renderSystem, jolp::Display* display, std::string dataFolder = {});
    ~WorkerScene() override;

    bool IsReady() const override { return done; }
    // All of the loading above; returns 100.
    int32_t Step(jolp::ResourceRegistry& registry, jolp::WorkerQueue& queue) override;

    // The scene it loaded, for its new owner; null before Step or once taken.
    std::unique_ptr<jolp::JOLP3D> TakeScene() { return std::move(scene_); }
    const jolp::JOLP3D* Scene() const { return scene_.get(); }

    jolp::RenderSystem* renderSystem;
    jolp::Display* display;
    std::string dataFolder;
    bool done = false;

private:
    std::unique_ptr<jolp::JOLP3D> scene_;
};

// The six particle systems: their images and their registered names, in
// the order they are made.
struct ParticleContent {
    const char* image;
    const char* name;
};
inline constexpr ParticleContent kParticleContent[] = {
    {"media/particles/red_particle.jpg", "redParticles"},
    {"media/particles/yellow_particle.jpg", "yellowParticles"},
    {"media/particles/green_particle.jpg", "greenParticles"},
    {"media/particles/blue_particle.jpg", "blueParticles"},
    {"media/particles/wind_particle.jpg", "wind"},
    {"media/particles/fire_particle.png", "fire"},
};

}  // namespace tarvel
