// material.h - the looks a scene surface can have, and the values each one
// pushes into its effect wrapper.
//
// The scene names a surface's look by shader name; CreateMaterial maps that
// name to one of four classes, each drawn through one of the render
// system's wrappers (their effect files as RenderFiles names them by
// default):
//   "qo_lambertblinn.fx"          LambertBlinnMaterial            lambertblinn.fx
//   "qo_parallaxedlambertblinn.fx" ParallaxedLambertBlinnMaterial parallaxedlambertblinn.fx
//   "qo_additive.fx"              AdditiveMaterial                additive.fx
//   "qo_cubicwater.fx"            CubicWaterMaterial              cubicwater.fx
// Load reads the material's textures (by name, from the resource registry)
// and numbers from the scene's material record; Apply sets them on the
// effect. A texture that is absent is not set, so the effect keeps the one
// it held. The per-item matrices and the mirror flag are set by the draw
// loop through the three handles of the base class.
//
// The parameter handles are looked up in the wrapper's effect when the
// material is made; after the wrapper reloads its file RefreshHandles looks
// them up in the new effect.
//
// A material borrows its wrapper, the render system and its textures (the
// registry owns those). The render system owns the materials made by
// BindScene; whoever makes one directly owns it.
#pragma once

#include "framework/effect.h"
#include "framework/resource_registry.h"
#include "framework/texture.h"

#include <cstdint>
#include <memory>
#include <string>

namespace jolp {

struct SceneMaterial;
class DemoShader;
class RenderSystem;

inline constexpr const char* kLambertBlinnShaderName = "qo_lambertblinn.fx";
inline constexpr const char* kParallaxedLambertBlinnShaderName = "qo_parallaxedlambertblinn.fx";
inline constexpr const char* kAdditiveShaderName = "qo_additive.fx";
inline constexpr const char* kCubicWaterShaderName = "qo_cubicwater.fx";

class Material {
public:
    Material(RenderSystem& renderSystem, DemoShader& shader);
    virtual ~Material() = default;
    Material(const Material&) = delete;
    Material& operator=(const Material&) = delete;

    virtual void Apply() = 0;
    virtual void Load(const jolp::SceneMaterial& record, const jolp::ResourceRegistry& registry);
    // Looks up every parameter handle again in the wrapper's current effect
    // (after DemoShader::Reload). What Load read stays as it is; Apply sets
    // it on the new effect.
    virtual void RefreshHandles();

    DemoShader* shader;
    RenderSystem* renderSystem;
    jolp::EffectHandle objectToWorldHandle;
    jolp::EffectHandle worldToObjectHandle;
    jolp::EffectHandle swapTrianglesHandle;
    // The order materials were made in, counted over the process: the
    // renderer sorts by it, so that the order of draws, and with it every
    // pixel where two surfaces meet at the same depth, is the same in every
    // run (addresses are not: they move with the address-space layout).
    const uint64_t serial;

protected:
    jolp::Effect& GetEffect() const;
    // Sets a texture parameter when the texture is there; leaves it alone
    // otherwise.
    static void SetTextureIfPresent(jolp::Effect& effect, jolp::EffectHandle handle,
                                    const jolp::BaseTexture* texture);

private:
    void FindOwnHandles();
};

class LambertBlinnMaterial : public Material {
public:
    LambertBlinnMaterial(RenderSystem& renderSystem, DemoShader& shader);
    void Apply() override;
    void Load(const jolp::SceneMaterial& record, const jolp::ResourceRegistry& registry) override;
    void RefreshHandles() override;

    jolp::Texture2D* ambientOclusionMap = nullptr;
    jolp::Texture2D* diffuseMap = nullptr;
    jolp::Texture2D* normalMap = nullptr;
    jolp::Texture2D* specularMap = nullptr;
    float normalSwapX = 0.0f;
    float normalSwapY = 0.0f;

private:
    void FindOwnHandles();
    jolp::EffectHandle ambientOclusionHandle_, diffuseHandle_, normalHandle_, specularHandle_, normalSwapHandle_;
};

class ParallaxedLambertBlinnMaterial final : public LambertBlinnMaterial {
public:
    ParallaxedLambertBlinnMaterial(RenderSystem& renderSystem, DemoShader& shader);
    void Apply() override;
    void Load(const jolp::SceneMaterial& record, const jolp::ResourceRegistry& registry) override;
    void RefreshHandles() override;

    float textureSize = 0.0f;
    float bumpDepth = 0.0f;

private:
    void FindOwnHandles();
    jolp::EffectHandle bumpDepthHandle_, textureSizeHandle_;
};

class AdditiveMaterial final : public Material {
public:
    AdditiveMaterial(RenderSystem& renderSystem, DemoShader& shader);
    void Apply() override;
    void Load(const jolp::SceneMaterial& record, const jolp::ResourceRegistry& registry) override;
    void RefreshHandles() override;

    jolp::Texture2D* diffuseMap = nullptr;

private:
    void FindOwnHandles();
    jolp::EffectHandle diffuseHandle_;
};

class CubicWaterMaterial final : public Material {
public:
    CubicWaterMaterial(RenderSystem& renderSystem, DemoShader& shader);
    void Apply() override;
    void Load(const jolp::SceneMaterial& record, const jolp::ResourceRegistry& registry) override;
    void RefreshHandles() override;

    jolp::Texture2D* normalMap = nullptr;
    jolp::TextureCube* sceneCube = nullptr;
    float normalSwapX = 0.0f;
    float normalSwapY = 0.0f;

private:
    void FindOwnHandles();
    jolp::EffectHandle normalHandle_, sceneCubeHandle_, swapNormalHandle_, timeHandle_;
};

// The material class the shader name selects, bound to its wrapper; null
// when the name is none of the four (compared whole and case-sensitively)
// or the render system lacks that wrapper.
std::unique_ptr<Material> CreateMaterial(const std::string& shaderName, RenderSystem& renderSystem);

}  // namespace jolp
