#include "render/bind_scene.h"

#include "render/lights.h"
#include "render/material.h"
#include "render/render_system.h"
#include "scene/jolp3d.h"

namespace jolp {

void BindScene(RenderSystem& renderSystem, jolp::JOLP3D& scene, const jolp::ResourceRegistry& registry) {
    for (jolp::SceneMaterial* record : scene.leafMaterials) {
        std::unique_ptr<Material> material = CreateMaterial(record->shaderName, renderSystem);
        if (material) {
            material->Load(*record, registry);
            record->material = renderSystem.Keep(std::move(material));
        } else {
            record->material = nullptr;
        }
    }
    for (jolp::SceneLight& light : scene.lights) {
        RenderLight made = MakeRenderLight(light.name);
        made.name = light.name.c_str();  // the scene's names never move after its load
        light.renderLight = renderSystem.KeepLight(made);
    }
}

}  // namespace jolp
