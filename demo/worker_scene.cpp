#include "demo/worker_scene.h"

#include "framework/resource_registry.h"
#include "framework/texture.h"
#include "particles/sparkls.h"
#include "render/bind_scene.h"
#include "render/material.h"

#include <cstdio>
#include <string>

namespace tarvel {
namespace {

// One line for a file the demo goes on without.
void WarnMissing(const std::string& error) {
    std::fprintf(stderr, "tarvel: warning: %s; the demo plays on without it\n", error.c_str());
}

// Registers what a loader made under name (null when it made nothing) and
// keeps it for the program's life. A name already taken keeps its entry.
void KeepAndRegister(jolp::ResourceRegistry& registry, const char* name, std::unique_ptr<jolp::Resource> resource) {
    registry.AddIfAbsent(name, resource ? registry.Keep(std::move(resource)) : nullptr);
}

}  // namespace

MyDemo::WorkerScene::WorkerScene(RenderSystem* renderer, jolp::Display* window)
    : renderSystem(renderer), display(window) {}

MyDemo::WorkerScene::~WorkerScene() = default;

int32_t MyDemo::WorkerScene::Step(jolp::ResourceRegistry& registry, jolp::WorkerQueue&) {
    jolp::GfxDevice& device = renderSystem->device;

    // Named textures from the data folder itself, before the directories:
    // the first registration of a name wins.
    std::string error;
    for (const char* cube : {"LightCube.dds", "sunol_cubemap.dds"}) {
        std::unique_ptr<jolp::TextureCube> texture = jolp::TextureCube::Load(cube, device, &error);
        if (!texture) WarnMissing(error);
        KeepAndRegister(registry, cube, std::move(texture));
    }
    for (const char* flat : {"powerBall.jpg", "texture1_d.tga", "four_NM_height.dds", "texture1_s.tga"}) {
        std::unique_ptr<jolp::Texture2D> texture = jolp::Texture2D::Load(flat, device, &error);
        if (!texture) WarnMissing(error);
        KeepAndRegister(registry, flat, std::move(texture));
    }
    jolp::LoadTextureDirectory(registry, device, "media/texs");
    jolp::LoadCubeTextureDirectory(registry, device, "media/cubes");

    // A scene that is missing or refused is empty and still registered: the
    // demo then plays its particles over nothing.
    scene_ = std::make_unique<jolp::JOLP3D>();
    scene_->Load(*display->deviceWindow);
    registry.AddIfAbsent("scene", scene_.get());
    BindScene(*renderSystem, *scene_, registry);

    for (const ParticleContent& content : kParticleContent) {
        auto material = std::make_unique<AdditiveMaterial>(*renderSystem, *renderSystem->additiveShader);
        std::unique_ptr<jolp::Texture2D> image = jolp::Texture2D::Load(content.image, device, &error);
        if (!image) WarnMissing(error);
        if (image) material->diffuseMap = static_cast<jolp::Texture2D*>(registry.Keep(std::move(image)));
        auto system = std::make_unique<Sparkls>(renderSystem->Keep(std::move(material)));
        system->SetLabel(content.name);
        system->CreatePool();
        KeepAndRegister(registry, content.name, std::move(system));
    }

    done = true;
    return 100;
}

}  // namespace tarvel
