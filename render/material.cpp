#include "render/material.h"

#include "render/render_system.h"
#include "render/shader.h"
#include "scene/jolp3d.h"

#include <atomic>

namespace jolp {
namespace {

jolp::Texture2D* TextureOf(const jolp::SceneMaterial& record, const jolp::ResourceRegistry& registry,
                           std::string_view key) {
    return registry.FindAs<jolp::Texture2D>(record.GetString(key));
}

float SwapOf(const jolp::SceneMaterial& record, std::string_view key) { return record.GetBool(key) ? -1.0f : 1.0f; }

}  // namespace

namespace {
std::atomic<uint64_t> g_materialsMade{0};
}  // namespace

Material::Material(RenderSystem& renderSystem, DemoShader& shader)
    : shader(&shader), renderSystem(&renderSystem), serial(++g_materialsMade) {
    FindOwnHandles();
}

void Material::RefreshHandles() { FindOwnHandles(); }

void Material::FindOwnHandles() {
    const jolp::Effect& effect = GetEffect();
    objectToWorldHandle = effect.GetParameterByName({}, "matObjectToWorld");
    worldToObjectHandle = effect.GetParameterByName({}, "matWorldToObject");
    swapTrianglesHandle = effect.GetParameterByName({}, "swapTriangles");
}

void Material::Load(const jolp::SceneMaterial&, const jolp::ResourceRegistry&) {}

jolp::Effect& Material::GetEffect() const { return *shader->GetEffect(); }

void Material::SetTextureIfPresent(jolp::Effect& effect, jolp::EffectHandle handle,
                                   const jolp::BaseTexture* texture) {
    if (texture && texture->texture) effect.SetTexture(handle, texture->texture.get());
}

LambertBlinnMaterial::LambertBlinnMaterial(RenderSystem& renderSystem, DemoShader& shader)
    : Material(renderSystem, shader) {
    FindOwnHandles();
}

void LambertBlinnMaterial::RefreshHandles() {
    Material::RefreshHandles();
    FindOwnHandles();
}

void LambertBlinnMaterial::FindOwnHandles() {
    const jolp::Effect& effect = GetEffect();
    ambientOclusionHandle_ = effect.GetParameterByName({}, "materialAmbientOclusionMap");
    diffuseHandle_ = effect.GetParameterByName({}, "materialDiffuseMap");
    normalHandle_ = effect.GetParameterByName({}, "materialNormalMap");
    specularHandle_ = effect.GetParameterByName({}, "materialSpecularMap");
    normalSwapHandle_ = effect.GetParameterByName({}, "materialNormalSwap");
}

void LambertBlinnMaterial::Load(const jolp::SceneMaterial& record, const jolp::ResourceRegistry& registry) {
    ambientOclusionMap = TextureOf(record, registry, "ambientOclusionTex");
    diffuseMap = TextureOf(record, registry, "diffuseTex");
    normalMap = TextureOf(record, registry, "normalTex");
    specularMap = TextureOf(record, registry, "specularTex");
    normalSwapX = SwapOf(record, "swapNormalX");
    normalSwapY = SwapOf(record, "swapNormalY");
}

void LambertBlinnMaterial::Apply() {
    jolp::Effect& effect = GetEffect();
    SetTextureIfPresent(effect, ambientOclusionHandle_, ambientOclusionMap);
    SetTextureIfPresent(effect, diffuseHandle_, diffuseMap);
    SetTextureIfPresent(effect, normalHandle_, normalMap);
    SetTextureIfPresent(effect, specularHandle_, specularMap);
    const float swap[4] = {normalSwapX, normalSwapY, 0.0f, 0.0f};
    effect.SetVector(normalSwapHandle_, swap);
}

ParallaxedLambertBlinnMaterial::ParallaxedLambertBlinnMaterial(RenderSystem& renderSystem, DemoShader& shader)
    : LambertBlinnMaterial(renderSystem, shader) {
    FindOwnHandles();
}

void ParallaxedLambertBlinnMaterial::RefreshHandles() {
    LambertBlinnMaterial::RefreshHandles();
    FindOwnHandles();
}

void ParallaxedLambertBlinnMaterial::FindOwnHandles() {
    const jolp::Effect& effect = GetEffect();
    bumpDepthHandle_ = effect.GetParameterByName({}, "bumpDepth");
    textureSizeHandle_ = effect.GetParameterByName({}, "textureSize");
}

void ParallaxedLambertBlinnMaterial::Load(const jolp::SceneMaterial& record, const jolp::ResourceRegistry& registry) {
    LambertBlinnMaterial::Load(record, registry);
    bumpDepth = record.GetFloat("bumpDepth");
    textureSize = record.GetFloat("textureSize");
}

void ParallaxedLambertBlinnMaterial::Apply() {
    LambertBlinnMaterial::Apply();
    jolp::Effect& effect = GetEffect();
    effect.SetFloat(bumpDepthHandle_, bumpDepth);
    effect.SetFloat(textureSizeHandle_, textureSize);
}

AdditiveMaterial::AdditiveMaterial(RenderSystem& renderSystem, DemoShader& shader) : Material(renderSystem, shader) {
    FindOwnHandles();
}

void AdditiveMaterial::RefreshHandles() {
    Material::RefreshHandles();
    FindOwnHandles();
}

void AdditiveMaterial::FindOwnHandles() { diffuseHandle_ = GetEffect().GetParameterByName({}, "diffuseTex"); }

void AdditiveMaterial::Load(const jolp::SceneMaterial& record, const jolp::ResourceRegistry& registry) {
    diffuseMap = TextureOf(record, registry, "diffuseTex");
}

void AdditiveMaterial::Apply() { SetTextureIfPresent(GetEffect(), diffuseHandle_, diffuseMap); }

CubicWaterMaterial::CubicWaterMaterial(RenderSystem& renderSystem, DemoShader& shader)
    : Material(renderSystem, shader) {
    FindOwnHandles();
}

void CubicWaterMaterial::RefreshHandles() {
    Material::RefreshHandles();
    FindOwnHandles();
}

void CubicWaterMaterial::FindOwnHandles() {
    const jolp::Effect& effect = GetEffect();
    normalHandle_ = effect.GetParameterByName({}, "materialNormalMap");
    sceneCubeHandle_ = effect.GetParameterByName({}, "sceneCubeTex");
    swapNormalHandle_ = effect.GetParameterByName({}, "swapNormal");
    timeHandle_ = effect.GetParameterByName({}, "time");
}

void CubicWaterMaterial::Load(const jolp::SceneMaterial& record, const jolp::ResourceRegistry& registry) {
    normalMap = TextureOf(record, registry, "normalTex");
    sceneCube = registry.FindAs<jolp::TextureCube>(record.GetString("sceneCubeTex"));
    normalSwapX = SwapOf(record, "swapNormalX");
    normalSwapY = SwapOf(record, "swapNormalY");
}

void CubicWaterMaterial::Apply() {
    jolp::Effect& effect = GetEffect();
    SetTextureIfPresent(effect, normalHandle_, normalMap);
    SetTextureIfPresent(effect, sceneCubeHandle_, sceneCube);
    const float swap[4] = {normalSwapX, normalSwapY, 0.0f, 0.0f};
    effect.SetVector(swapNormalHandle_, swap);
    effect.SetFloat(timeHandle_, renderSystem->time);
}

std::unique_ptr<Material> CreateMaterial(const std::string& shaderName, RenderSystem& renderSystem) {
    if (renderSystem.lambertBlinnShader && shaderName == kLambertBlinnShaderName) {
        return std::make_unique<LambertBlinnMaterial>(renderSystem, *renderSystem.lambertBlinnShader);
    }
    if (renderSystem.parallaxedLambertBlinnShader && shaderName == kParallaxedLambertBlinnShaderName) {
        return std::make_unique<ParallaxedLambertBlinnMaterial>(renderSystem,
                                                                *renderSystem.parallaxedLambertBlinnShader);
    }
    if (renderSystem.additiveShader && shaderName == kAdditiveShaderName) {
        return std::make_unique<AdditiveMaterial>(renderSystem, *renderSystem.additiveShader);
    }
    if (renderSystem.cubicWaterShader && shaderName == kCubicWaterShaderName) {
        return std::make_unique<CubicWaterMaterial>(renderSystem, *renderSystem.cubicWaterShader);
    }
    return nullptr;
}

}  // namespace jolp
