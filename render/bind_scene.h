// bind_scene.h - joins a loaded scene to the render system: a material for
// every leaf material of the scene and a render light for every light.
//
// Run once at start-up, after the scene and every texture it names are in
// the registry. The render system owns what is made; the scene's records
// point at it (SceneMaterial::material, SceneLight::renderLight). A
// material whose shader name the renderer does not know stays null, and
// the geometry that uses it is never drawn.
#pragma once

#include "framework/resource_registry.h"

namespace jolp {

class JOLP3D;
class RenderSystem;

void BindScene(RenderSystem& renderSystem, jolp::JOLP3D& scene, const jolp::ResourceRegistry& registry);

}  // namespace jolp
