#include "demo/worker_scene.h"

#include "framework/data_path.h"
#include "framework/resource_registry.h"
#include "framework/texture.h"
#include "particles/sparkls.h"
#include "platform/log.h"
#include "render/bind_scene.h"
#include "render/material.h"

#include <string>
#include <utility>

namespace tarvel {
namespace {

// One line for a file the demo goes on without.
void WarnMissing(const std::string& error) {
    jolp::Log(jolp::LogLevel::Warning, "%s; the demo plays on without it", error.c_str());
}

// Loads a texture named by its bare file name from the data folder and
// registers it under that name (null when it could not be made), kept for
// the program's life. A name already taken keeps its entry.
template <typename Texture>
void LoadNamed(jolp::ResourceRegistry& registry, jolp::GfxDevice& device, const std::string& folder,
               const char* name) {
    std::string error;
    std::unique_ptr<Texture> texture = Texture::Load(jolp::DataPath(folder, name), device, error);
    if (!texture) WarnMissing(error);
    registry.AddIfAbsent(name, texture ? registry.Keep(std::move(texture)) : nullptr);
}

}  // namespace

MyDemo::WorkerScene::WorkerScene(jolp::RenderSystem* renderer, jolp::Display* window, std::string folder)
    : renderSystem(renderer), display(window), dataFolder(std::move(folder)) {}

MyDemo::WorkerScene::~WorkerScene() = default;

int32_t MyDemo::WorkerScene::Step(jolp::ResourceRegistry& registry, jolp::WorkerQueue&) {
    jolp::GfxDevice& device = renderSystem->device;

    // Named textures from the data folder itself, before the directories:
    // the first registration of a name wins.
    for (const char* cube : {"LightCube.dds", "sunol_cubemap.dds"}) {
        LoadNamed<jolp::TextureCube>(registry, device, dataFolder, cube);
    }
    for (const char* flat : {"powerBall.jpg", "texture1_d.tga", "four_NM_height.dds", "texture1_s.tga"}) {
        LoadNamed<jolp::Texture2D>(registry, device, dataFolder, flat);
    }
    jolp::LoadTextureDirectory(registry, device, jolp::DataPath(dataFolder, "media/texs"));
    jolp::LoadCubeTextureDirectory(registry, device, jolp::DataPath(dataFolder, "media/cubes"));

    // A scene that is missing or refused is empty and still registered: the
    // demo then plays its particles over nothing.
    scene_ = std::make_unique<jolp::JOLP3D>();
    scene_->Load(jolp::DataPath(dataFolder, jolp::kScenePath), display->deviceWindow->device.get());
    registry.AddIfAbsent("scene", scene_.get());
    jolp::BindScene(*renderSystem, *scene_, registry);

    for (const ParticleContent& content : kParticleContent) {
        auto material = std::make_unique<jolp::AdditiveMaterial>(*renderSystem, *renderSystem->additiveShader);
        std::string error;
        if (std::unique_ptr<jolp::Texture2D> image = jolp::Texture2D::Load(jolp::DataPath(dataFolder, content.image), device, error)) {
            material->diffuseMap = static_cast<jolp::Texture2D*>(registry.Keep(std::move(image)));
        } else {
            WarnMissing(error);
        }
        auto system = std::make_unique<jolp::Sparkls>(renderSystem->Keep(std::move(material)));
        system->SetLabel(content.name);
        system->CreatePool();
        // Kept even when the name is taken, so that nothing leaks.
        registry.AddIfAbsent(content.name, registry.Keep(std::move(system)));
    }

    done = true;
    return 100;
}

}  // namespace tarvel
