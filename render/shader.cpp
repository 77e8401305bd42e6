#include "render/shader.h"

#include "render/render_system.h"

namespace jolp {

std::unique_ptr<jolp::Effect> LoadEffect(jolp::GfxDevice& device, const std::string& path, std::string& error) {
    return jolp::Effect::Load(device, path, error);
}

std::unique_ptr<jolp::Effect> LoadEffect(jolp::GfxDevice& device, const std::string& path, PassNames passes,
                                         std::string& error) {
    auto effect = LoadEffect(device, path, error);
    if (!effect) return nullptr;
    for (const char* pass : passes) {
        if (FindPass(*effect, effect->GetCurrentTechnique(), pass) < 0) {
            error = path + ": no pass \"" + pass + "\"";
            return nullptr;
        }
    }
    return effect;
}

int32_t FindPass(const jolp::Effect& effect, jolp::EffectHandle technique, const char* name) {
    jolp::EffectTechniqueDesc techniqueDesc;
    if (!effect.GetTechniqueDesc(technique, techniqueDesc)) return -1;
    for (uint32_t i = 0; i < techniqueDesc.passes; ++i) {
        jolp::EffectPassDesc passDesc;
        if (effect.GetPassDesc(effect.GetPass(technique, i), passDesc) && passDesc.name == name) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

std::unique_ptr<DemoShader> DemoShader::Load(jolp::GfxDevice& device, const std::string& path, PassNames passes,
                                             std::string& error) {
    auto effect = LoadEffect(device, path, passes, error);
    if (!effect) return nullptr;
    return std::make_unique<DemoShader>(std::move(effect), passes);
}

DemoShader::DemoShader(std::unique_ptr<jolp::Effect> effect, PassNames passes)
    : effect_(std::move(effect)), passes_(passes) {
    Bind();
}

bool DemoShader::Reload(jolp::GfxDevice& device, std::string& error) {
    auto fresh = LoadEffect(device, effect_->Path(), passes_, error);
    if (!fresh) return false;
    fresh->CopyValuesFrom(*effect_);
    effect_ = std::move(fresh);
    Bind();
    return true;
}

void DemoShader::Bind() {
    const jolp::Effect& effect = *effect_;
    technique_ = effect.GetCurrentTechnique();
    ambientPass = FindPass(effect, technique_, kAmbientPassName);
    waterPass = FindPass(effect, technique_, kWaterPassName);
    shadowDepthPass = FindPass(effect, technique_, kShadowDepthPassName);
    additivePass = FindPass(effect, technique_, kAdditivePassName);
    diffusePass = FindPass(effect, technique_, kDiffusePassName);
    diffuseShadowPass = FindPass(effect, technique_, kDiffuseShadowPassName);
    diffuseVolumePass = FindPass(effect, technique_, kDiffuseVolumePassName);
    diffuseLightCubePass = FindPass(effect, technique_, kDiffuseLightCubePassName);
    for (jolp::EffectHandle* handle :
         {&matWorldToView, &matViewToProj, &lightPosition, &lightColor, &lightRadius, &volumeLightIntensity,
          &depthShadowMap, &lightTexture, &lightCastsShadow, &cameraPosition, &matWorldToCubeFace, &lightCube}) {
        *handle = jolp::EffectHandle{};
    }
}

int32_t DemoShader::DiffusePass(bool castsShadow, bool usesLightCube, bool isVolume) const {
    if (usesLightCube) return diffuseLightCubePass;
    if (isVolume) return diffuseVolumePass;
    if (castsShadow) return diffuseShadowPass;
    return diffusePass;
}

void SetFrameParameters(const RenderSystem& renderSystem, DemoShader& shader) {
    jolp::Effect& effect = *shader.GetEffect();
    if (!shader.matWorldToView) {
        shader.matWorldToView = effect.GetParameterByName({}, "matWorldToView");
        shader.matViewToProj = effect.GetParameterByName({}, "matViewToProj");
        shader.cameraPosition = effect.GetParameterByName({}, "cameraPosition");
        shader.lightCube = effect.GetParameterByName({}, "lightCube");
    }
    effect.SetMatrix(shader.matWorldToView, &renderSystem.viewMatrix.m[0][0]);
    effect.SetMatrix(shader.matViewToProj, &renderSystem.projectionMatrix.m[0][0]);
    const jolp::Vec3& p = renderSystem.camera.position;
    const float position[4] = {p.x, p.y, p.z, 0.0f};
    effect.SetVector(shader.cameraPosition, position);
    if (renderSystem.lightCubeTexture) effect.SetTexture(shader.lightCube, renderSystem.lightCubeTexture->Get());
}

void SetLightParameters(const RenderLight& light, DemoShader& shader, const jolp::GfxCubeTexture* shadowCube) {
    jolp::Effect& effect = *shader.GetEffect();
    if (!shader.lightPosition) {
        shader.lightPosition = effect.GetParameterByName({}, "lightPosition");
        shader.lightColor = effect.GetParameterByName({}, "lightColor");
        shader.lightRadius = effect.GetParameterByName({}, "lightRadius");
        shader.volumeLightIntensity = effect.GetParameterByName({}, "volumeLightIntensity");
        shader.depthShadowMap = effect.GetParameterByName({}, "depthShadowMap");
        shader.lightTexture = effect.GetParameterByName({}, "lightTexture");
        shader.lightCastsShadow = effect.GetParameterByName({}, "lightCastsShadow");
    }
    const float position[4] = {light.position.x, light.position.y, light.position.z, 0.0f};
    const float color[4] = {light.color.x, light.color.y, light.color.z, 0.0f};
    effect.SetVector(shader.lightPosition, position);
    effect.SetVector(shader.lightColor, color);
    effect.SetFloat(shader.lightRadius, light.radius);
    effect.SetFloat(shader.volumeLightIntensity, light.volumeIntensity);
    effect.SetTexture(shader.depthShadowMap, shadowCube);
    effect.SetFloat(shader.lightCastsShadow, light.castsShadow ? 1.0f : 0.0f);
}

void SetCubeFaceMatrix(DemoShader& shader, const jolp::Matrix& worldToCubeFace) {
    jolp::Effect& effect = *shader.GetEffect();
    if (!shader.matWorldToCubeFace) shader.matWorldToCubeFace = effect.GetParameterByName({}, "matWorldToCubeFace");
    effect.SetMatrix(shader.matWorldToCubeFace, &worldToCubeFace.m[0][0]);
}

}  // namespace jolp
